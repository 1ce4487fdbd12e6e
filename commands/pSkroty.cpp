#include "commands/pSkroty.h"

#include <string>
#include <utility>
#include <vector>

#include "core/A_Languages.h"

namespace telm {

namespace {

// One page of the form: its title and its sections (heading, text), by message id.
struct ShortcutPage {
    int title;
    std::vector<std::pair<int, int>> sections;
};

const std::vector<ShortcutPage>& shortcutPages() {
    static const std::vector<ShortcutPage> pages = {
        {3245, {{3246, 3247}, {3248, 3249}}},
        {3250, {{3251, 3252}, {3253, 3254}}},
        {3255, {{3256, 3257}, {3258, 3259}}},
        {3260, {{3261, 3262}}},
        {3263, {{3264, 3265}, {3266, 3267}}},
        {3268, {{3269, 3270}}},
        {3271, {{3272, 3273}, {3274, 3275}, {3276, 3277}}},
        {3278, {{3279, 3280}, {3281, 3282}}},
        {3283, {{3284, 3285}, {3286, 3287}}},
    };
    return pages;
}

std::string sectionName(const char* kind, std::size_t page, std::size_t section) {
    return kind + std::to_string(page + 1) + "_" + std::to_string(section + 1);
}

}  // namespace

pSkroty::pSkroty() : Form("pSkroty") {
    const auto& pages = shortcutPages();
    for (std::size_t p = 0; p < pages.size(); ++p) {
        add<host::ui::Label>("Page" + std::to_string(p + 1));
        for (std::size_t s = 0; s < pages[p].sections.size(); ++s) {
            add<host::ui::Label>(sectionName("Heading", p, s));
            add<host::ui::Label>(sectionName("Text", p, s));
        }
    }
    auto& close = add<host::ui::CommandButton>("CommandButton1");
    close.setCancel(true);
    close.onClick = [this] { hide(); };
}

void pSkroty::SetFormLanguage() {
    setCaption(GetMessageText(3244));
    const auto& pages = shortcutPages();
    for (std::size_t p = 0; p < pages.size(); ++p) {
        control<host::ui::Label>("Page" + std::to_string(p + 1)).setCaption(GetMessageText(pages[p].title));
        for (std::size_t s = 0; s < pages[p].sections.size(); ++s) {
            control<host::ui::Label>(sectionName("Heading", p, s)).setCaption(GetMessageText(pages[p].sections[s].first));
            control<host::ui::Label>(sectionName("Text", p, s)).setCaption(GetMessageText(pages[p].sections[s].second));
        }
    }
    control<host::ui::CommandButton>("CommandButton1").setCaption(GetMessageText(3288));
}

}  // namespace telm
