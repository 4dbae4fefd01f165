// The application object's side of the settings guard: its profile holds
// the change log, its platform family picks the settings and its change
// count numbers the records.
#include "app/CUpdaterApp.h"
#include "settings/CSettingsGuard.h"

int CUpdaterApp::ApplySettingChanges(BYTE nMode) {
    CSettingsGuard guard(*this, m_bWinNT, m_nChangeCount);
    return guard.ApplySettingChanges(nMode);
}

void CUpdaterApp::RestoreSettingChanges() {
    CSettingsGuard guard(*this, m_bWinNT, m_nChangeCount);
    guard.RestoreSettingChanges();
}

int CUpdaterApp::CountChangeRecords() {
    CSettingsGuard guard(*this, m_bWinNT, m_nChangeCount);
    return guard.CountRecords();
}
