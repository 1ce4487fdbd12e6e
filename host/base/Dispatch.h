#pragma once
// Late binding: an object whose members are called by name, as automation clients call them, and
// the entry points by which a component library hands such objects out.

#include <memory>
#include <string_view>
#include <vector>

#include "host/base/Variant.h"

namespace host {

class Dispatch : public Object {
public:
    // True when the object has a member of that name (letter case ignored).
    virtual bool hasMember(std::string_view member) const = 0;
    // Calls a method or reads a property with arguments by position (Missing for an omitted one).
    // Raises 438 for a member the object does not have, 13 for an argument of the wrong type.
    virtual Variant invoke(std::string_view member, std::vector<Variant>& arguments) = 0;
    // Sets a property (an object property is set by reference). Raises 438 for an unknown property.
    virtual void setProperty(std::string_view property, const Variant& value) = 0;
};
using DispatchPtr = std::shared_ptr<Dispatch>;

// Entry points of a component library, looked up by these names:
//   extern "C" int host_create_object(const char* progId, std::shared_ptr<host::Dispatch>* result);
//     creates the object of a programmatic identifier ("Project.Class"); 0 on success.
//   extern "C" bool host_can_unload_now();
//     true when no object of the library is alive.
inline constexpr const char* kCreateObjectEntry = "host_create_object";
inline constexpr const char* kCanUnloadNowEntry = "host_can_unload_now";
using CreateObjectEntry = int (*)(const char* progId, std::shared_ptr<Dispatch>* result);
using CanUnloadNowEntry = bool (*)();

}  // namespace host
