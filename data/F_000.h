#pragma once
// The dispatchers of the data primitives: every link, MDX and SQL read of the data functions goes
// through one of these, which empty ErrorDetail and call the lasting clsF000 object (created on
// first use, kept until the add-in is unloaded).

#include <string>

#include "host/base/Variant.h"

namespace telm {

// The value behind a link; the failure's description when the object itself cannot be called.
host::Variant DispatchLacze000(std::string& link);
// The result of an MDX statement. Sets CurrentConnectionText and CurrentQueryText to the texts as
// given, then puts the add-in folder in place of the folder token; "# " & ErrorDetail when the object
// itself cannot be called.
host::Variant DispatchZOLAP000(const std::string& connection, const std::string& mdx, bool& asArray);
// The rows of an SQL statement; always an array: a result that is none is wrapped in a one-item
// array, and a call of the object that fails gives the one-item array holding ".".
host::Variant DispatchFunkcjaADO000(const std::string& connection, const host::Variant& sql);

}  // namespace telm
