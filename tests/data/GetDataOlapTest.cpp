// GETDATAOLAP, the OLAP source type of GETDATA with a provider connection text, and the wizard's MDX
// value lists: the texts they build and send, and what they answer when no value comes back.

#include <gtest/gtest.h>

#include "data/F_Publiczne.h"
#include "data/F_zOLAP.h"
#include "data/OlapCells.h"

using namespace telm;
using host::Variant;
using testsupport::OlapCells;

namespace {

const std::string kWorkedConnection = "Provider=MSOLAP.2;Data Source=srv1;Initial Catalog=Finanse;";
const std::string kWorkedMdx =
    "WITH MEMBER [Measures].[wynik] AS '0 + SUM({[Czas].[2012]}*{[Produkt].&[17]}*{[Measures].[Kwota]})' "
    "SELECT {[Measures].[wynik]} on 0  FROM [Sprzedaz] ";
const std::string kWorkedKey = "m(:)" + kWorkedConnection + "(:)" + kWorkedMdx;
const std::vector<std::string> kWorkedCall{"srv1", "Finanse", "Sprzedaz", "[Measures].[Kwota]",
                                           "[Czas].[2012],[Produkt].&[17]", "", ":"};

constexpr const char* kModel = R"([Measure Sales]
Type=OLAP
GetDataArguments=Year,Product
AddString=[Measures].[Kwota]
ConnectionText=srv1,Finanse,Sprzedaz
QueryText=[Czas].[Year],[Produkt].&[Product]
[Measure SalesMdx]
Type=olap
GetDataArguments=Year
ConnectionText=provider=MSOLAP;Data Source=srv1;Initial Catalog=Finanse;
QueryText=SELECT {[Measures].[Kwota]} ON 0 FROM [Sprzedaz] WHERE ([Czas].[Year])
)";
const std::string kModelMdx = "SELECT {[Measures].[Kwota]} ON 0 FROM [Sprzedaz] WHERE ([Czas].[2012])";

// The key of a query of [Measures].[M] in cube K on srv1 over a member set ("" or ending in "*").
std::string keyOf(const std::string& memberSet) {
    return "m(:)Provider=MSOLAP.2;Data Source=srv1;Initial Catalog=C;(:)WITH MEMBER [Measures].[wynik] AS '0 + SUM(" +
           memberSet + "{[Measures].[M]})' SELECT {[Measures].[wynik]} on 0  FROM [K] ";
}

}  // namespace

TEST(GetDataOlap, RequestTextsOfTheWorkedExampleAndMemberLists) {
    OlapCells t;
    EXPECT_EQ(t.olap("A1", kWorkedCall), Variant(kWorkedKey));
    auto key = [&](const std::string& members) {
        return t.olap("A2", {"srv1", "C", "K", "[Measures].[M]", members, "", ":"});
    };
    EXPECT_EQ(key(""), Variant(keyOf("")));
    EXPECT_EQ(key("[A].[x],[B].[y],[C].[*]"), Variant(keyOf("{[A].[x]}*{[B].[y]}*{[C]}*")));
    // The seventh text must be ":" exactly; describe mode asked by an archive command gives the key too
    // and stays on after the call.
    SharedState().ErrorReportingLevel = 2;
    EXPECT_NE(t.olap("A3", {"srv1", "C", "K", "[Measures].[M]", "", "", " :"}), Variant(keyOf("")));
    SharedState().DescribeModeRequested = true;
    EXPECT_EQ(t.olap("A4", {"srv1", "C", "K", "[Measures].[M]"}), Variant(keyOf("")));
    EXPECT_TRUE(SharedState().DescribeModeActive);
}

TEST(GetDataOlap, UserIdOfAServerIsTheFirstOneMetOnThatServer) {
    OlapCells t;
    auto connection = [&](const std::string& dataSource, const std::string& extra) {
        const std::string key = t.olap("A1", {dataSource, "C", "K", "[Measures].[M]", "", extra, ":"}).toString();
        return key.substr(4, key.find("(:)", 4) - 4);
    };
    EXPECT_EQ(connection("srv1", "Timeout=5&x=1"), "Provider=MSOLAP.2;Data Source=srv1;Initial Catalog=C;Timeout=5&x=1");
    // A cube file keeps its text as written, and is not remembered.
    EXPECT_EQ(connection("/data/k.CUB", "User ID=bob&Password=b2"),
              "Provider=MSOLAP.2;Data Source=/data/k.CUB;Initial Catalog=C;User ID=bob&Password=b2");
    EXPECT_TRUE(SharedState().LastOlapConnections.empty());
    EXPECT_EQ(connection("srv1", "user id=anna&Password=a1"),
              "Provider=MSOLAP.2;Data Source=srv1;Initial Catalog=C;user id=anna;Password=a1");
    EXPECT_EQ(connection("SRV1", "User ID=bob&Password=b2"),
              "Provider=MSOLAP.2;Data Source=SRV1;Initial Catalog=C;user id=anna;Password=a1");
    // Another server gets its own login: anna's password never goes there.
    EXPECT_EQ(connection("srv2", "User ID=bob&Password=b2"),
              "Provider=MSOLAP.2;Data Source=srv2;Initial Catalog=C;User ID=bob;Password=b2");
    EXPECT_EQ(connection("srv2", "User ID=carl&Password=c3"),
              "Provider=MSOLAP.2;Data Source=srv2;Initial Catalog=C;User ID=bob;Password=b2");
    EXPECT_EQ(connection("c:\\k.cub", "User ID=bob&Password=b2"),
              "Provider=MSOLAP.2;Data Source=c:\\k.cub;Initial Catalog=C;User ID=bob&Password=b2");
    EXPECT_EQ(SharedState().LastOlapConnections.size(), 2u);
}

TEST(GetDataOlap, ArchiveAnswersAfterTheDescribeRequest) {
    OlapCells t;
    t.archive("A1", 42.0, kWorkedKey);
    EXPECT_EQ(t.olap("A1", kWorkedCall), Variant(kWorkedKey));
    auto live = kWorkedCall;
    live.back() = "";
    EXPECT_EQ(t.olap("A1", live), Variant(42.0));
    EXPECT_EQ(SharedState().ArchiveHitCount, 1);
    // Another request in the same cell; an empty twin cell whose comment matches.
    live[4] = "[Czas].[2013]";
    EXPECT_EQ(t.olap("A1", live), Variant("#Arch!"));
    t.archive("A2", Variant(), kWorkedKey);
    EXPECT_EQ(t.olap("A2", {kWorkedCall.begin(), kWorkedCall.end() - 1}), Variant(".."));
}

TEST(GetDataOlap, CannotFindByErrorReportingLevel) {
    OlapCells t;
    t.bufferAnswers("#Cannot find the member [Czas].[2031]. / Err: x");
    const std::vector<std::string> call{"srv1", "Finanse", "Sprzedaz", "[Measures].[Kwota]", "[Czas].[2031]"};
    for (std::int16_t level : {0, 1}) {
        SharedState().ErrorReportingLevel = level;
        EXPECT_EQ(t.olap("A1", call), Variant(0.0));
    }
    SharedState().ErrorReportingLevel = 2;
    EXPECT_EQ(t.olap("A1", call), Variant("#Brak danych dla zadanych argumentów. Zapytanie jest prawidłowe."));
    SharedState().ErrorReportingLevel = 3;
    EXPECT_EQ(GetDataOlapPublic("srv1", "Finanse", "Sprzedaz", "[Measures].[Kwota]", "[Czas].[2031]", "", ""), Variant());
    // Other failure texts stay; a value is answered as it comes.
    SharedState().ErrorReportingLevel = 2;
    t.bufferAnswers("#Syntax error at position 7");
    EXPECT_EQ(t.olap("A1", call), Variant("#Syntax error at position 7"));
    t.bufferAnswers(12.5);
    EXPECT_EQ(t.olap("A1", call), Variant(12.5));
    EXPECT_EQ(SharedState().ErrorText, "#Error");  // set by the wrapper
}

TEST(GetDataOlap, BufferedRoute) {
    OlapCells t;
    SharedState().ErrorReportingLevel = 2;
    t.bufferAnswers(host::CellError::NA);
    EXPECT_EQ(t.olap("A1", {"https://serwer.example/olap", "C", "K", "[Measures].[M]", "", "Role=serwery"}),
              Variant("#Błąd logowania"));
    ASSERT_EQ(t.bufferRequests.size(), 1u);
    EXPECT_EQ(t.bufferRequests[0], "m(:)Provider=MSOLAP.2;Data Source=http://.example/olap;Initial Catalog=C;Role=y(:)"
                                   "WITH MEMBER [Measures].[wynik] AS '0 + SUM({[Measures].[M]})' "
                                   "SELECT {[Measures].[wynik]} on 0  FROM [K] ");
    EXPECT_TRUE(SharedState().WebServiceBuffering);
    SharedState().ErrorReportingLevel = 1;
    EXPECT_EQ(t.olap("A1", {"srv1", "C", "K", "[Measures].[M]"}), Variant(0.0));
    EXPECT_EQ(t.bufferRequests.size(), 2u);
    // Local cube files, and calls while events are off, query directly.
    for (const char* local : {"c:\\k.cub", "d:/k.cub", "/data/k.cub", "[TELM.NET.Folder]\\k.CUB"})
        t.olap("A1", {local, "C", "K", "[Measures].[M]"});
    t.app->enableEvents = false;
    t.olap("A1", {"srv1", "C", "K", "[Measures].[M]"});
    EXPECT_EQ(t.bufferRequests.size(), 2u);
}

TEST(GetDataOlap, CancelledPromptAndMissingHost) {
    OlapCells t(kModel);
    SharedState().PromptCancelled = true;
    EXPECT_EQ(t.olap("A1", kWorkedCall), Variant("Przerwane."));
    EXPECT_EQ(t.formula("A1", "=GETDATA(\"SalesMdx\",2012)"), Variant("Przerwane."));
    EXPECT_EQ(SharedState().DataFunctionCallCount, 2);
    SharedState().ExcelApp.reset();
    EXPECT_EQ(GetDataOlapCore("srv1", "C", "K", "[Measures].[M]", "", "", ":"), Variant("#Błąd!"));
    EXPECT_EQ(GetDataQueryText("Provider=MSOLAP", "SELECT"), Variant("#Błąd!"));
    EXPECT_EQ(OlapListForWizard("srv1", "C", "SELECT"), Variant("#Błąd!"));
}

TEST(GetDataOlap, ModelVariablesOfTypeOlap) {
    OlapCells t(kModel);
    EXPECT_EQ(t.formula("A1", "=GETDATA(\"Sales\",2012,17,\":\")"), Variant(kWorkedKey));
    // A provider connection text runs the model's MDX unchanged.
    EXPECT_EQ(t.formula("A2", "=GETDATA(\"SalesMdx\",2012,\":\")"),
              Variant("m(:)provider=MSOLAP;Data Source=srv1;Initial Catalog=Finanse;(:)" + kModelMdx));
    t.archive("A3", 7.0, "m(:)provider=MSOLAP;Data Source=srv1;Initial Catalog=Finanse;(:)" + kModelMdx);
    EXPECT_EQ(t.formula("A3", "=GETDATA(\"SalesMdx\",2012)"), Variant(7.0));
    // While the sibling workbooks' flag is on, the MDX text itself.
    SharedState().InfoSheetValue = true;
    EXPECT_EQ(t.formula("A4", "=GETDATA(\"SalesMdx\",2012)"), Variant(kModelMdx));
    // The question to the buffering add-in fails quietly while it is not open.
    SharedState().InfoSheetValue = false;
    SharedState().WebServiceBuffering = true;
    t.formula("A4", "=GETDATA(\"SalesMdx\",2012)");
    EXPECT_FALSE(SharedState().WebServiceBuffering);
    t.bufferAnswers(1.0);
    t.formula("A4", "=GETDATA(\"SalesMdx\",2013)");
    EXPECT_TRUE(SharedState().WebServiceBuffering);
    EXPECT_TRUE(t.bufferRequests.empty());  // the model's MDX is not buffered
}

TEST(GetDataOlap, WizardListFollowsTheSiblingWorkbooksFlag) {
    OlapCells t;
    const std::string mdx = "SELECT [Czas].members ON 0 FROM [Sprzedaz]";
    EXPECT_EQ(OlapListForWizardPublic("srv1", "Finanse", mdx), Variant("#Błąd!"));  // no cube: no array
    EXPECT_EQ(SharedState().InfoSheetValue, Variant(false));
    auto sibling = [&](const std::string& name, const Variant& flag) {
        auto book = t.app->workbooks().add();
        book->setLocation("", name);
        book->sheet(1)->setName("info");
        book->sheet(1)->range("A1")->setValue(flag);
        return book;
    };
    auto rdl = sibling("telm2rdl.xls", true);
    EXPECT_EQ(OlapListForWizardPublic("srv1", "Finanse", mdx), Variant(mdx));
    auto xml = sibling("telm2xml.xla", false);  // the second workbook wins
    EXPECT_EQ(OlapListForWizardPublic("srv1", "Finanse", mdx), Variant("#Błąd!"));
    xml->close();
    rdl->sheet(1)->range("A1")->setValue(Variant());
    EXPECT_EQ(OlapListForWizardPublic("srv1", "Finanse", mdx), Variant("#Błąd!"));
    EXPECT_EQ(SharedState().InfoSheetValue, Variant(false));
    EXPECT_EQ(SharedState().CurrentConnectionText, Variant("Provider=MSOLAP.2;Data Source=srv1;Initial Catalog=Finanse;"));
}
