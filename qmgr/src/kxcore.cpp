// kxcore: connecting to a queue manager.
#define KX_BUILDING_KXCORE
#include "kxstore.h"

static uint32_t Outcome(int32_t* completionCode, int32_t* reason, int32_t cc, uint32_t rc) {
    *completionCode = cc;
    *reason = int32_t(rc);
    return rc;
}

extern "C" KXCORE_API uint32_t KXENTRY KXCONN(const char* qmName, int32_t* connection, int32_t* completionCode,
                                              int32_t* reason) {
    if (!completionCode || !reason) return KXRC_NO_INSTALLATION;
    kx::Settings s;
    if (kx::LoadSettings(s)) return Outcome(completionCode, reason, KXCC_FAILED, KXRC_NO_INSTALLATION);
    uint32_t faultReason = 0;
    uint32_t fault = kx::InjectedFault(s, kx::kConnect, &faultReason);
    if (fault == KXCC_FAILED) return Outcome(completionCode, reason, KXCC_FAILED, faultReason);
    if (!qmName || !connection) return Outcome(completionCode, reason, KXCC_FAILED, KXRC_NO_INSTALLATION);

    // The 48 characters less their trailing blanks (a zero byte is not a blank);
    // none: the default queue manager.
    size_t n = KX_QM_NAME_LENGTH;
    while (n > 0 && qmName[n - 1] == ' ') --n;
    const kx::Qm* qm = n ? s.Find(qmName, n) : s.defaultQm[0] ? s.Find(s.defaultQm) : nullptr;
    if (!qm) return Outcome(completionCode, reason, KXCC_FAILED, KXRC_UNKNOWN_QM);
    kx::Table table;
    if (!table.Open(s.prefix, qm->id)) return Outcome(completionCode, reason, KXCC_FAILED, KXRC_NO_INSTALLATION);
    if (table.Stopped()) return Outcome(completionCode, reason, KXCC_FAILED, KXRC_QM_STOPPED);

    *connection = int32_t(kx::kConnectionTag | qm->id);
    if (fault == KXCC_WARNING) return Outcome(completionCode, reason, KXCC_WARNING, faultReason);
    return Outcome(completionCode, reason, KXCC_OK, 0);
}
