#include "host/ado/Errors.h"

#include "host/base/RuntimeError.h"

namespace host::ado {

std::string objectModelDescription(int number) {
    switch (number) {
    case kNoCurrentRecord:
        return "Either BOF or EOF is True, or the current record has been deleted. Requested operation requires a "
               "current record.";
    case kObjectClosed: return "Operation is not allowed when the object is closed.";
    case kObjectOpen: return "Operation is not allowed when the object is open.";
    case kConnectionUnusable:
        return "The connection cannot be used to perform this operation. It is either closed or invalid in this "
               "context.";
    default: return standardDescription(number);
    }
}

}  // namespace host::ado
