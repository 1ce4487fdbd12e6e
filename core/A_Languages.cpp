#include "core/A_Languages.h"

#include <exception>

#include "core/A_Deklaracje.h"
#include "core/A_LanguagesTable.h"
#include "host/base/Text.h"

namespace telm {

namespace {
constexpr int kFirstTitleId = 2000;
constexpr int kLastTitleId = 2999;
constexpr const char* kTitlePrefix = "TELM.NET - ";
// Stands in for "http://" while "//" line breaks are replaced, so that web addresses survive.
constexpr const char* kInternetPlaceholder = "InternetPrefix";

std::string withLineBreaks(const std::string& stored) {
    std::string text = host::Replace(stored, "http://", kInternetPlaceholder);
    text = host::Replace(text, "//", "\n");
    return host::Replace(text, kInternetPlaceholder, "http://");
}
}  // namespace

void InitMessageCatalogue() {
    auto& catalogue = SharedState().MessageCatalogue;
    for (const CatalogueText& entry : CatalogueTexts()) {
        MessageEntry& slot = catalogue.at(static_cast<std::size_t>(entry.id));
        slot.text = {entry.polish, entry.english};
        slot.filled = true;
    }
}

std::string GetMessageText(int id) {
    if (id < 0 || id > kMaxMessageId) return kCriticalErrorText;
    try {
        const A_Deklaracje& state = SharedState();
        const MessageEntry& slot = state.MessageCatalogue[static_cast<std::size_t>(id)];
        if (!slot.filled) return kCriticalErrorText;
        std::string text = slot.text.at(static_cast<std::size_t>(state.LanguageIndex));
        if (id >= kFirstTitleId && id <= kLastTitleId) text = kTitlePrefix + text;
        return withLineBreaks(text);
    } catch (const std::exception&) {
        // A lookup never fails its caller: the critical-error text stands in for the message.
        return kCriticalErrorText;
    }
}

}  // namespace telm
