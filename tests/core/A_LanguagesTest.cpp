#include <gtest/gtest.h>

#include "core/A_Deklaracje.h"
#include "core/A_Languages.h"

using namespace telm;

namespace {

class MessageCatalogueTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSharedState();
        InitMessageCatalogue();
    }
    static void useLanguage(std::int16_t index) { SharedState().LanguageIndex = index; }
};

TEST_F(MessageCatalogueTest, FillsExactlyTheListedIds) {
    const auto& catalogue = SharedState().MessageCatalogue;
    int filled = 0;
    for (const MessageEntry& entry : catalogue) filled += entry.filled ? 1 : 0;
    EXPECT_EQ(filled, 338);
    EXPECT_TRUE(catalogue[2].filled);
    EXPECT_TRUE(catalogue[3408].filled);
    EXPECT_FALSE(catalogue[0].filled);
    EXPECT_FALSE(catalogue[1].filled);
    EXPECT_FALSE(catalogue[163].filled);
    EXPECT_FALSE(catalogue[3159].filled);
    EXPECT_FALSE(catalogue[4000].filled);
    for (int id : {3158, 1029}) EXPECT_FALSE(catalogue[id].text[0].empty()) << id;
    EXPECT_FALSE(catalogue[3158].text[1].empty());
}

TEST_F(MessageCatalogueTest, StoresTrickyTextsCharacterForCharacter) {
    const auto& catalogue = SharedState().MessageCatalogue;
    EXPECT_EQ(catalogue[1010].text[1],
              " is protected with not empty password(!) and cannot be changed.////Note, that this procedure "
              "doesn't publish sheets with the name ended with '.priv' suffix.");
    EXPECT_EQ(catalogue[3025].text[0], "Wstaw &funkcję DANE()   [F3]");
    EXPECT_EQ(catalogue[3025].text[1], "Insert GETDATA() &function     [F3]");
    EXPECT_EQ(catalogue[3111].text[0], "P a r a m e t r y   t e c h n i c z n e :");
    EXPECT_EQ(catalogue[3275].text[0],
              "[Ctrl+PageUp] – Poprzedni arkusz w skoroszycie//[Ctrl+PageDown] – Następny arkusz w "
              "skoroszycie//(Używane z [Shift] – zaznaczają arkusze) ");
    EXPECT_NE(catalogue[3270].text[1].find("//[Ctrl+’] – Copy formula"), std::string::npos);
    EXPECT_NE(catalogue[3277].text[1].find("[F5] or [Ctrl+G] – Go to…"), std::string::npos);
    EXPECT_NE(catalogue[3285].text[1].find("'1,00 €'"), std::string::npos);
    EXPECT_NE(catalogue[150].text[1].find("pivot tables//  (column and filter"), std::string::npos);
}

TEST_F(MessageCatalogueTest, FailsWithTheCriticalErrorTextOutsideTheFilledIds) {
    for (std::int16_t language : {0, 1}) {
        useLanguage(language);
        EXPECT_EQ(GetMessageText(-1), "Critical error. Restart TELM.NET!");
        EXPECT_EQ(GetMessageText(4001), "Critical error. Restart TELM.NET!");
        EXPECT_EQ(GetMessageText(1), "Critical error. Restart TELM.NET!");
        EXPECT_EQ(GetMessageText(2500), "Critical error. Restart TELM.NET!");
    }
    useLanguage(2);
    EXPECT_EQ(GetMessageText(2), "Critical error. Restart TELM.NET!");
    ResetSharedState();
    EXPECT_EQ(GetMessageText(2), "Critical error. Restart TELM.NET!");
}

TEST_F(MessageCatalogueTest, PrefixesTitlesOnly) {
    useLanguage(1);
    EXPECT_EQ(GetMessageText(2000), "TELM.NET - Counting module");
    EXPECT_EQ(GetMessageText(2006), "TELM.NET - TELM.NET.IS - Data processing");
    EXPECT_EQ(GetMessageText(3000), "Insert a function of TELM.NET");
    EXPECT_EQ(GetMessageText(3244), "TELM.NET - Excel's shortcut list");
    useLanguage(0);
    EXPECT_EQ(GetMessageText(2009), "TELM.NET - TELM.NET.TC - Przetwarzanie tekstu");
    EXPECT_EQ(GetMessageText(2012), "TELM.NET - Dodatki");
}

TEST_F(MessageCatalogueTest, TurnsDoubleSlashesIntoLineFeeds) {
    useLanguage(0);
    EXPECT_EQ(GetMessageText(102), "Brak archiwum aktywnego arkusza.\n\nUtworzyć?");
    EXPECT_EQ(GetMessageText(3100),
              "Jak parametryzować?\n1. PRECYZYJNIE ZAZNACZ tekst w formule (= tekstowi w komórce arkusza)\n2. "
              "Naciśnij 'parametryzuj zaznaczenie' (wskażesz wtedy adres na arkuszu)\n3. Parametryzuj kolejne "
              "elementy (od pkt.1) lub naciśnij 'Zakończ'.");
    // "///": a line feed, then the slash that is left over.
    EXPECT_EQ(GetMessageText(3128), "Ścieżka zapisu / \nE-mail: adresaci:");
    EXPECT_EQ(GetMessageText(3027), "&Parametryzuj formułę   [Ctrl+F2]");
    EXPECT_EQ(GetMessageText(3016), "Z&apisz jako ...");
}

TEST_F(MessageCatalogueTest, KeepsTheSlashesOfWebAddresses) {
    SharedState().MessageCatalogue[3159] = {true, {"Strona: http://example.org//wiki////koniec", "x///y"}};
    useLanguage(0);
    EXPECT_EQ(GetMessageText(3159), "Strona: http://example.org\nwiki\n\nkoniec");
    useLanguage(1);
    EXPECT_EQ(GetMessageText(3159), "x\n/y");
    SharedState().MessageCatalogue[2999] = {true, {"http://a.pl", "http:///b"}};
    EXPECT_EQ(GetMessageText(2999), "TELM.NET - http:///b");
}

TEST_F(MessageCatalogueTest, KeepsBlanksAndEmptyTexts) {
    useLanguage(1);
    EXPECT_EQ(GetMessageText(1999), "Unexpected error: ");
    EXPECT_EQ(GetMessageText(1009) + "Data" + GetMessageText(1010).substr(0, 13), "The sheet Data is protected");
    EXPECT_EQ(GetMessageText(1029), "");
    useLanguage(0);
    EXPECT_EQ(GetMessageText(1999), "Błąd niesklasyfikowany: ");
    EXPECT_EQ(GetMessageText(1029),
              "Skoroszyt nie został jeszcze zapisany.\n(Nie wiadomo, jaką ścieżkę dostępu zapisać.)");
}

TEST_F(MessageCatalogueTest, FollowsTheLanguageAtEveryLookup) {
    useLanguage(0);
    EXPECT_EQ(GetMessageText(3011), "DANE");
    EXPECT_EQ(GetMessageText(3246), "Przeliczanie:");
    EXPECT_EQ(GetMessageText(3002), "Przelicz wszystko (TELM.NET)");
    useLanguage(1);
    EXPECT_EQ(GetMessageText(3011), "GETDATA");
    EXPECT_EQ(GetMessageText(3246), "Calculation");
    EXPECT_EQ(GetMessageText(3002), "Calculate (TELM.NET)");
    useLanguage(0);
    EXPECT_EQ(GetMessageText(3408), "Pomo&c");
}

}  // namespace
