#pragma once
// The dispatchers of the data primitives: every link, MDX and SQL read of the data functions goes
// through one of these, which empty ErrorDetail and call the lasting clsF000 object (created on
// first use, kept until the add-in is unloaded). Also the host guard, the failure description and
// the skipping of failed steps that the data functions share.

#include <exception>
#include <string>
#include <vector>

#include "host/base/RuntimeError.h"
#include "host/base/Variant.h"

namespace telm {

// Marks the calling cell volatile and switches off the cancel and calculation-interrupt keys; raises
// what the host raises (91 without a host application).
void PrepareVolatileCall();

// The description of a run-time error, or the text of any other failure.
std::string FailureDescription(const std::exception& e);

// The answer after a failure by ErrorReportingLevel: the Integer 0 at levels 0 and 1, `failure` at
// level 2, `unchanged` (what the call had so far, by default nothing) at any other level.
host::Variant LevelRuleResult(const host::Variant& failure, const host::Variant& unchanged = host::Variant());

// The value behind a link; the failure's description when the object itself cannot be called.
host::Variant DispatchLacze000(std::string& link);
// The result of an MDX statement. Sets CurrentConnectionText and CurrentQueryText to the texts as
// given, then puts the add-in folder in place of the folder token; "# " & ErrorDetail when the object
// itself cannot be called.
host::Variant DispatchZOLAP000(const std::string& connection, const std::string& mdx, bool& asArray);
// The rows of an SQL statement; always an array: a result that is none is wrapped in a one-item
// array, and a call of the object that fails gives the one-item array holding ".". With `eachResult`,
// the rows of each statement of `sql` as clsF000::funkcjaADO000 gives them, and Empty when it answers.
host::Variant DispatchFunkcjaADO000(const std::string& connection, const host::Variant& sql,
                                    std::vector<host::Variant>* eachResult = nullptr);
// clsF000::eachResultsAtOnce of the module's lasting object; every entry empty when the call fails.
std::vector<std::vector<host::Variant>> DispatchEachResultsAtOnce(const std::string& connection,
                                                                  const std::vector<std::string>& texts, int connections);

}  // namespace telm
