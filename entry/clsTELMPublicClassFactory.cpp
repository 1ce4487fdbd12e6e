// The add-in library's entry points as an in-process component: the factory of its one public class
// and the unload query.

#include <memory>

#include "entry/clsTELMPublicClass.h"
#include "host/base/Text.h"

extern "C" __attribute__((visibility("default"))) int host_create_object(const char* progId,
                                                                        std::shared_ptr<host::Dispatch>* result) {
    if (!progId || !result) return 1;
    if (host::StrComp(progId, "TELM.clsTELMPublicClass", host::CompareMethod::Text) != 0) return 2;
    *result = std::make_shared<telm::clsTELMPublicClass>();
    return 0;
}

extern "C" __attribute__((visibility("default"))) bool host_can_unload_now() {
    return telm::clsTELMPublicClass::InstanceCount() == 0;
}
