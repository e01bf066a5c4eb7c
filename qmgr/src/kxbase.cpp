// kxbase: the common services' start-up and the system subpool.
#define KX_BUILDING_KXBASE
#include <string.h>

#include "kxstore.h"

extern "C" {

// Exported by its declaration in kxapi.h.
const unsigned char xcsIC_SYSTEM_SUBPOOL[16] = {'K', 'X', 'S', 'U', 'B', 'P', 'O', 'O',
                                                'L', '@', 'S', 'Y', 'S', 'T', 'E', 'M'};

// Accepts exactly the collector's call: (48, 0x4107, "@SYSTEM", filled details, 0).
KXBASE_API uint32_t KXENTRY xcsInitialize(uint32_t nameLength, uint32_t options, const char* subsystem,
                                          KxQmDetails* details, uint32_t reserved) {
    kx::Settings s;
    if (uint32_t rc = kx::LoadSettings(s)) return rc;
    if (uint32_t fault = kx::InjectedFault(s, kx::kInitialize)) return fault;
    if (nameLength != KX_QM_NAME_LENGTH || options != 0x4107 || !subsystem || strcmp(subsystem, "@SYSTEM") != 0 ||
        !details || details->version != KX_QM_DETAILS_VERSION || reserved != 0)
        return KX_RC_BAD_ARGUMENTS;
    return KX_OK;
}
}
