// GETTRANSLATION through the services: one page load per language pair in headless Chromium, against
// a translation page served on 127.0.0.1 whose script translates the texts between their markers.

#include <gtest/gtest.h>

#include <fstream>

#include "core/A_Deklaracje.h"
#include "support/PageServer.h"
#include "support/ServiceWorkbooks.h"

using host::Variant;
using testsupport::quote;

namespace {

// Reads the address fragment "source|target|XXX. text .XXX", and writes the framed text followed by
// its translation: each "<k>text<k>" becomes "<k>translation <k>", except that a text holding "DROP"
// loses its markers. Unknown words are written in capitals.
constexpr const char* kTranslationPage = R"(<html><body><script>
var h = location.hash.substring(1);
try { h = decodeURIComponent(h); } catch (e) {}
var parts = h.split('|');
var framed = parts.slice(2).join('|');
var words = {'pl|en': {'Kot': 'Cat', 'Dzień dobry': 'Good morning'}, 'en|de': {'Cat': 'Katze', 'Dog': 'Hund'}};
var dictionary = words[parts[0] + '|' + parts[1]] || {};
var translated = framed.replace(/<(\d+)>([\s\S]*?)<\1>/g, function (all, k, text) {
  var t = dictionary.hasOwnProperty(text) ? dictionary[text] : text.toUpperCase();
  return text.indexOf('DROP') >= 0 ? t : '<' + k + '>' + t + ' <' + k + '>';
});
document.body.appendChild(document.createTextNode(framed + translated));
</script></body></html>)";

std::string translation(const std::string& text, const std::string& languages = "") {
    return "=GETTRANSLATION(" + quote(text) + languages + ")";
}

struct Translation : ::testing::Test, testsupport::ServiceWorkbooks {
    testsupport::PageServer page{kTranslationPage};
    std::string database = folder.file("sales.db");

    void startWithPage(const std::string& address) {
        std::ofstream(database).close();  // connections open existing database files only
        testsupport::runStatements("Driver={SQLite3};Database=" + database + ";",
                                   {"CREATE TABLE T (Code INTEGER, Amount REAL)", "INSERT INTO T VALUES (1, 12.5)"});
        startWithModel(address.empty() ? std::string("PARAMETERS=X=1\n") : "PARAMETERS=TranslationPage=" + address + "\n");
    }
    std::string adoCell() const {
        return "=GETDATAODBC(" + quote("Driver={SQLite3};Database=" + database + ";") + "," +
               quote("SELECT Amount FROM T WHERE Code = 1") + ",FALSE)";
    }
};

}  // namespace

TEST_F(Translation, EachLanguagePairTakesOnePageLoad) {
    startWithPage(page.address());
    report("Texts.xlsx", {{translation("Kot"), translation("Dzień dobry", ",\"pl\",\"en\""),
                           translation("Cat", ",\"en\",\"de\""), translation("Dog", ",\"en\",\"de\""),
                           translation("Kot DROP", ",\"pl\",\"en\""), translation("Lis"), translation("Kot"),
                           translation(""), adoCell()}});
    const auto cells = formulaCells();
    ASSERT_EQ(cells.size(), 9u);

    // With the services off every translation answers "GTS!", the empty text included.
    command("CalculateAll2");
    for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(cells[i]->value(), Variant("GTS!")) << i;
    EXPECT_EQ(cells[8]->value(), Variant(12.5));

    command("SetServicesOn");
    command("CalculateAll2");
    const std::vector<Variant> expected = {"Cat", "Good morning", "Katze", "Hund", "...", "LIS", "Cat", "", 12.5};
    for (std::size_t i = 0; i < cells.size(); ++i) EXPECT_EQ(cells[i]->value(), expected[i]) << i;
    EXPECT_EQ(page.pageRequests(), 2);
    EXPECT_NE(std::find(statusTexts.begin(), statusTexts.end(), "Google Translation Service (pl>en)"), statusTexts.end());
    EXPECT_NE(std::find(statusTexts.begin(), statusTexts.end(), "Google Translation Service (en>de)"), statusTexts.end());
    EXPECT_EQ(app->statusBar(), Variant(false));

    // A text typed after the cycle waits for the next one.
    cells[0]->setFormula(translation("Pies"));
    EXPECT_EQ(cells[0]->value(), Variant("(?)"));
}

TEST_F(Translation, WithoutAPageEveryTextSaysWhy) {
    startWithPage("");
    report("Texts.xlsx", {{translation("Kot"), translation("")}});
    command("SetServicesOn");
    command("CalculateAll2");
    const auto cells = formulaCells();
    EXPECT_EQ(cells[0]->value(),
              Variant("No translation page: the data model's parameters name none (TranslationPage=http://...)."));
    EXPECT_EQ(cells[1]->value(), Variant(""));
}

TEST_F(Translation, APageThatCannotLoadLeavesEveryTextWithoutItsPiece) {
    int closedPort = 0;
    {
        testsupport::PageServer closed("");
        closedPort = std::stoi(closed.address().substr(17));
    }
    startWithPage("http://127.0.0.1:" + std::to_string(closedPort) + "/");
    report("Texts.xlsx", {{translation("Kot"), translation("Lis")}});
    command("SetServicesOn");
    command("CalculateAll2");
    for (const auto& cell : formulaCells()) EXPECT_EQ(cell->value(), Variant("..."));
}

TEST_F(Translation, TextsTooLongForOneAddressAreLeftWithoutTheirPieces) {
    startWithPage(page.address());
    report("Texts.xlsx", {{"=GETTRANSLATION(B1)", "=GETTRANSLATION(B2)", "=GETTRANSLATION(B3)",
                           "=GETTRANSLATION(B4)", "=GETTRANSLATION(B5)"}});
    auto sheet = app->workbooks().item("Texts.xlsx")->sheet(1);
    for (int r = 1; r <= 5; ++r) sheet->cells(r, 2)->setValue(std::string(30000, static_cast<char>('a' + r)));
    command("SetServicesOn");
    command("CalculateAll2");
    // 150,000 characters in one address are more than the browser can be given.
    for (int r = 1; r <= 5; ++r) EXPECT_EQ(sheet->cells(r, 1)->value(), Variant("...")) << r;
    EXPECT_EQ(page.pageRequests(), 0);
    EXPECT_EQ(app->statusBar(), Variant(false));
}

TEST_F(Translation, NoTextReachesIntoAnotherTextsPiece) {
    startWithPage(page.address());
    report("Texts.xlsx", {{translation("a<1>stolen<1>"), translation("Kot"), translation("XXX. Kot .XXX"),
                           translation("50% & <b>"), translation("Dzień dobry")}});
    command("SetServicesOn");
    command("CalculateAll2");
    // Unknown words come back in capitals; each text has its own piece.
    const std::vector<Variant> expected = {"A<1>STOLEN<1>", "Cat", "XXX. KOT .XXX", "50% & <B>", "Good morning"};
    const auto cells = formulaCells();
    for (std::size_t i = 0; i < cells.size(); ++i) EXPECT_EQ(cells[i]->value(), expected[i]) << i;
    // One load: the page answered with every marker at once, nothing was asked again.
    EXPECT_EQ(page.pageRequests(), 1);
}
