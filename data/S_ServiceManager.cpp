#include "data/S_ServiceManager.h"

#include "core/A_Deklaracje.h"
#include "core/A_Languages.h"
#include "core/P_ObslBledow.h"
#include "host/ado/ConnectionPool.h"

namespace telm {

void SwitchServicesOff(bool silent) {
    auto& s = SharedState();
    s.ServicesOff = true;
    s.ServiceDirectCall = true;
    if (!silent) ReportMessage(GetMessageText(160), 64, GetMessageText(2000));
}

void ClearAuthorisationTable() {
    SharedState().AuthorisationTable = host::Array::vector({host::Variant(std::string())});
    host::ado::clearConnectionPool();
    ReportMessage(GetMessageText(158), 64, GetMessageText(2008));
}

}  // namespace telm
