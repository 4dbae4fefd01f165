#include "CDriveAccess.h"

CDriveAccess::CDriveAccess() : m_bUsePassThrough(0) {}

CDriveAccess::~CDriveAccess() {}

BYTE CDriveAccess::ScanDrives() { return m_bUsePassThrough ? m_spti.ScanDrives() : m_aspi.ScanDrives(); }

CString CDriveAccess::GetDriveName(int nIndex) {
    return m_bUsePassThrough ? m_spti.GetDriveName(nIndex) : m_aspi.GetDriveName(nIndex);
}

void CDriveAccess::SelectDrive(BYTE nIndex) {
    if (m_bUsePassThrough)
        m_spti.SelectDrive(nIndex);
    else
        m_aspi.SelectDrive(nIndex);
}

void CDriveAccess::SetDataBuffer(BYTE* pBuffer, DWORD dwLength) {
    if (m_bUsePassThrough)
        m_spti.SetDataBuffer(pBuffer, dwLength);
    else
        m_aspi.SetDataBuffer(pBuffer, dwLength);
}

void CDriveAccess::GetSenseCodes(BYTE& ucAsc, BYTE& ucAscq) {
    if (m_bUsePassThrough)
        m_spti.GetSenseCodes(ucAsc, ucAscq);
    else
        m_aspi.GetSenseCodes(ucAsc, ucAscq);
}

CString CDriveAccess::GetErrorText() { return m_bUsePassThrough ? m_spti.GetErrorText() : m_aspi.GetErrorText(); }

DriveStatus CDriveAccess::Inquiry(BYTE ucAllocLength) {
    return m_bUsePassThrough ? m_spti.Inquiry(ucAllocLength) : m_aspi.Inquiry(ucAllocLength);
}

DriveStatus CDriveAccess::StartStopUnit(BYTE ucStart, BYTE ucImmediate, BYTE ucLoadEject) {
    return m_bUsePassThrough ? m_spti.StartStopUnit(ucStart, ucImmediate, ucLoadEject)
                             : m_aspi.StartStopUnit(ucStart, ucImmediate, ucLoadEject);
}

DriveStatus CDriveAccess::ReceiveDiagnosticResults(WORD wAllocLength) {
    return m_bUsePassThrough ? m_spti.ReceiveDiagnosticResults(wAllocLength)
                             : m_aspi.ReceiveDiagnosticResults(wAllocLength);
}

DriveStatus CDriveAccess::SendDiagnostic(BYTE ucSelfTest, WORD wParamLength) {
    return m_bUsePassThrough ? m_spti.SendDiagnostic(ucSelfTest, wParamLength)
                             : m_aspi.SendDiagnostic(ucSelfTest, wParamLength);
}

DriveStatus CDriveAccess::PreventAllowMediumRemoval(BYTE ucPrevent) {
    return m_bUsePassThrough ? m_spti.PreventAllowMediumRemoval(ucPrevent) : m_aspi.PreventAllowMediumRemoval(ucPrevent);
}

DriveStatus CDriveAccess::Read10(DWORD dwLba, WORD wBlocks, BYTE ucFua, BYTE ucRelAdr) {
    return m_bUsePassThrough ? m_spti.Read10(dwLba, wBlocks, ucFua, ucRelAdr)
                             : m_aspi.Read10(dwLba, wBlocks, ucFua, ucRelAdr);
}
