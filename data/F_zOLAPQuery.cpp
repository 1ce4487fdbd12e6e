#include "data/F_zOLAPQuery.h"

#include "core/A_Deklaracje.h"
#include "data/F_000.h"
#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/ui/Secrets.h"

namespace telm {

using host::Variant;

namespace {

constexpr const char* kBufferingQuestion = "Plendor.xla!czyBuforowanie";
constexpr const char* kBufferMacro = "Plendor.xla!BUFOR";

// A local cube file, which the buffer of the sibling add-in cannot reach: a drive path ("c:\..." or,
// written the other way, "c:/..."), a path from the root, or any name ending ".cub" (a path under the
// add-in folder token included).
bool isLocalFilePath(const std::string& dataSource) {
    for (const char* drive : {":\\", ":/"})
        if (const long p = host::InStr(dataSource, drive); p == 1 || p == 2) return true;
    const std::string first = host::Left(dataSource, 1);
    return first == "/" || first == "\\" || host::UCase(host::Right(dataSource, 4)) == ".CUB";
}

// The request as the buffer takes it.
std::string bufferRequest(const std::string& connection, const std::string& mdx) {
    const std::string text = host::Replace(OlapRequestKey(connection, mdx), "https://", "http://");
    return host::Replace(text, "serwer", "");
}

}  // namespace

std::string OlapConnectionText(const std::string& dataSource, const std::string& catalogue, const std::string& extra) {
    return "Provider=" + SharedState().CurrentOlapProvider + ";Data Source=" + dataSource +
           ";Initial Catalog=" + catalogue + ";" + extra;
}

std::string OlapRequestKey(const std::string& connection, const std::string& mdx) {
    return "m(:)" + connection + "(:)" + mdx;
}

void AskBufferingAddIn() {
    auto& s = SharedState();
    s.WebServiceBuffering = false;
    try {
        s.WebServiceBuffering = ExcelApplication().run(kBufferingQuestion).toBool();
    } catch (const host::RuntimeError&) {  // the sibling add-in is not open: no buffering
    }
}

std::string PendingFailureText() {
    const auto& s = SharedState();
    return host::ui::maskPasswords("#" + s.ErrorDetail + " / " + s.ErrorText);
}

bool IsFailureText(const Variant& value) { return value.isString() && host::Left(value.stringValue(), 1) == "#"; }

Variant RunOlapQuery(const std::string& connection, const std::string& mdx) {
    bool asArray = false;
    Variant value = DispatchZOLAP000(connection, mdx, asArray);
    if (value.isEmpty()) return PendingFailureText();
    return value;
}

Variant RunOlapQueryOrBuffer(const std::string& dataSource, const std::string& connection, const std::string& mdx) {
    AskBufferingAddIn();
    if (!SharedState().WebServiceBuffering || !ExcelApplication().enableEvents || isLocalFilePath(dataSource))
        return RunOlapQuery(connection, mdx);
    try {
        Variant answer = ExcelApplication().run(kBufferMacro, {Variant(bufferRequest(connection, mdx))});
        if (answer.isError() && answer.errorValue() == host::CellError::NA) return "#Błąd logowania";
        if (!answer.isEmpty()) return answer;
    } catch (const host::RuntimeError& e) {
        SharedState().ErrorDetail = e.description();
    }
    return PendingFailureText();
}

}  // namespace telm
