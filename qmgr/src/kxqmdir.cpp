// kxqmdir: the installation's details.
#define KX_BUILDING_KXQMDIR
#include <string.h>

#include "kxstore.h"

extern "C" KXQMDIR_API uint32_t KXENTRY lpiObtainQMDetails(uint32_t reserved1, uint32_t reserved2,
                                                           uint32_t reserved3, KxQmDetails* details) {
    kx::Settings s;
    if (uint32_t rc = kx::LoadSettings(s)) return rc;
    if (!kx::IsDir(s.prefix)) return KX_RC_NO_PREFIX;
    if (uint32_t fault = kx::InjectedFault(s, kx::kDetails)) return fault;
    if (reserved1 || reserved2 || reserved3 || !details) return KX_RC_BAD_ARGUMENTS;
    static_assert(sizeof s.path <= sizeof details->settingsPath && sizeof s.prefix <= sizeof details->dataPrefix &&
                      sizeof s.defaultQm <= sizeof details->defaultQm,
                  "details hold the settings' texts");
    memset(details, 0, sizeof *details);
    details->version = KX_QM_DETAILS_VERSION;
    memcpy(details->settingsPath, s.path, sizeof s.path);
    memcpy(details->dataPrefix, s.prefix, sizeof s.prefix);
    memcpy(details->defaultQm, s.defaultQm, sizeof s.defaultQm);
    return KX_OK;
}
