#include "host/olap/CubeConnection.h"

#include "host/olap/Cube.h"
#include "host/olap/CubeBuilder.h"
#include "host/olap/MdxEvaluator.h"
#include "host/olap/MdxParser.h"

namespace host::olap {

namespace {

// The items of the text, once its cube is built when it carries the statements to build one.
std::vector<ado::ConnectionItem> builtItems(const std::string& text, const std::string& user, const std::string& password) {
    std::vector<ado::ConnectionItem> items = parseProviderText(text);
    if (!providerItem(items, "CREATECUBE").empty()) buildCube(text, user, password);
    return items;
}

}  // namespace

CubeConnection::CubeConnection(const std::string& connectionText, const std::string& user,
                               const std::string& password, int loginTimeout)
    : database_(builtItems(connectionText, user, password), false, user, password, loginTimeout) {}

CellSet CubeConnection::execute(const std::string& mdx, int commandTimeout) {
    const MdxQuery query = parseMdx(mdx);
    database_.commandTimeout = commandTimeout;
    database_.limitTotalTime(commandTimeout);  // the time-out holds for the query as a whole
    Cube cube(database_, query.cube);
    return evaluateMdx(cube, query);
}

}  // namespace host::olap
