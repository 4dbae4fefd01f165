// CCmdTarget: message maps and the wait cursor.
//
// A message map is a static table of entries. Each entry names a message
// (and, for WM_COMMAND, a notification code and a range of ids) and a small
// adapter that cracks wParam/lParam and calls the handler. The adapters are
// written out by the ON_ macros below, so a handler's signature is checked
// by the compiler when the table is built; nothing is cast through a generic
// member pointer.
//
// Handlers are named as members: ON_BN_CLICKED(1006, &CUpdateDlg::OnStartUpdate).
#pragma once
#include "win32.h"

class CCmdTarget;
class CWnd;

// Cracks the parameters, calls the handler, and says whether the message is
// handled; *pResult takes what the window procedure returns.
typedef BOOL (*AFX_MSGADAPTER)(CCmdTarget* pTarget, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;  // the window message; WM_COMMAND for commands and notifications
    UINT nCode;     // WM_COMMAND: the notification code (CN_COMMAND for menus and buttons)
    UINT nID;       // WM_COMMAND: the first id of the range; 0 for window messages
    UINT nLastID;
    AFX_MSGADAPTER pfnAdapter;  // NULL ends the table
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();  // NULL for the root
    const AFX_MSGMAP_ENTRY* lpEntries;
};

// The notification code of a menu item, accelerator or button command.
#define CN_COMMAND 0

// The framework's help command.
#define ID_HELP 0xE146

#define afx_msg

class CCmdTarget {
public:
    CCmdTarget() = default;
    virtual ~CCmdTarget();
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;

    // The hourglass for a long operation. Calls nest: the cursor goes back
    // to what it was when the outermost EndWaitCursor matches the first
    // BeginWaitCursor. RestoreWaitCursor puts the hourglass back after
    // something (a message box) changed the cursor while the count is up.
    void BeginWaitCursor();
    void EndWaitCursor();
    void RestoreWaitCursor();

    virtual const AFX_MSGMAP* GetMessageMap() const;
    // Runs the WM_COMMAND entry for nID and nCode from this object's map
    // and its bases; FALSE when there is none.
    virtual BOOL OnCmdMsg(UINT nID, int nCode);

protected:
    static const AFX_MSGMAP* GetThisMessageMap();
};

// The first entry of pMap or its bases that matches, or NULL.
const AFX_MSGMAP_ENTRY* AfxFindMessageEntry(const AFX_MSGMAP* pMap, UINT nMessage, UINT nCode, UINT nID);

// The wait cursor count shared by every command target; >0 while one shows.
int AfxGetWaitCursorCount();

// ---------------------------------------------------------------------------
// Declaring and defining maps.

#define DECLARE_MESSAGE_MAP()                   \
protected:                                      \
    static const AFX_MSGMAP* GetThisMessageMap(); \
    virtual const AFX_MSGMAP* GetMessageMap() const;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                          \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); }   \
    const AFX_MSGMAP* theClass::GetThisMessageMap() {                                   \
        using ThisClass [[maybe_unused]] = theClass;                                    \
        using TheBaseClass = baseClass;                                                 \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {
#define END_MESSAGE_MAP()                                                                \
        {0, 0, 0, 0, NULL}};                                                             \
        static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]}; \
        return &messageMap;                                                              \
    }

// ---------------------------------------------------------------------------
// Entries. Inside a map, ThisClass is the class whose map it is.

// void memberFxn()
#define ON_COMMAND(id, memberFxn) ON_CONTROL(CN_COMMAND, id, memberFxn)
// void memberFxn() for a notification code of a control
#define ON_CONTROL(wNotifyCode, id, memberFxn)                                                            \
    {WM_COMMAND, static_cast<UINT>(wNotifyCode), static_cast<UINT>(id), static_cast<UINT>(id),            \
     [](CCmdTarget* p, WPARAM, LPARAM, LRESULT*) -> BOOL {                                               \
         (static_cast<ThisClass*>(p)->*(memberFxn))();                                                    \
         return TRUE;                                                                                     \
     }},
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)
#define ON_CBN_SELCHANGE(id, memberFxn) ON_CONTROL(CBN_SELCHANGE, id, memberFxn)

// LRESULT memberFxn(WPARAM, LPARAM)
#define ON_MESSAGE(message, memberFxn)                                                    \
    {static_cast<UINT>(message), 0, 0, 0, [](CCmdTarget* p, WPARAM w, LPARAM l, LRESULT* r) -> BOOL { \
         *r = (static_cast<ThisClass*>(p)->*(memberFxn))(w, l);                           \
         return TRUE;                                                                     \
     }},

// void OnTimer(UINT_PTR nIDEvent)
#define ON_WM_TIMER()                                                                  \
    {WM_TIMER, 0, 0, 0, [](CCmdTarget* p, WPARAM w, LPARAM, LRESULT*) -> BOOL {        \
         static_cast<ThisClass*>(p)->OnTimer(static_cast<UINT_PTR>(w));                \
         return TRUE;                                                                  \
     }},
// void OnPaint()
#define ON_WM_PAINT()                                                                  \
    {WM_PAINT, 0, 0, 0, [](CCmdTarget* p, WPARAM, LPARAM, LRESULT*) -> BOOL {          \
         static_cast<ThisClass*>(p)->OnPaint();                                        \
         return TRUE;                                                                  \
     }},
// void OnSysCommand(UINT nID, LPARAM lParam)
#define ON_WM_SYSCOMMAND()                                                             \
    {WM_SYSCOMMAND, 0, 0, 0, [](CCmdTarget* p, WPARAM w, LPARAM l, LRESULT*) -> BOOL { \
         static_cast<ThisClass*>(p)->OnSysCommand(static_cast<UINT>(w), l);            \
         return TRUE;                                                                  \
     }},
// HCURSOR OnQueryDragIcon()
#define ON_WM_QUERYDRAGICON()                                                          \
    {WM_QUERYDRAGICON, 0, 0, 0, [](CCmdTarget* p, WPARAM, LPARAM, LRESULT* r) -> BOOL { \
         *r = reinterpret_cast<LRESULT>(static_cast<ThisClass*>(p)->OnQueryDragIcon()); \
         return TRUE;                                                                  \
     }},
// void OnClose()
#define ON_WM_CLOSE()                                                                  \
    {WM_CLOSE, 0, 0, 0, [](CCmdTarget* p, WPARAM, LPARAM, LRESULT*) -> BOOL {          \
         static_cast<ThisClass*>(p)->OnClose();                                        \
         return TRUE;                                                                  \
     }},
// void OnDestroy()
#define ON_WM_DESTROY()                                                                \
    {WM_DESTROY, 0, 0, 0, [](CCmdTarget* p, WPARAM, LPARAM, LRESULT*) -> BOOL {        \
         static_cast<ThisClass*>(p)->OnDestroy();                                      \
         return TRUE;                                                                  \
     }},
// BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message)
#define ON_WM_SETCURSOR()                                                              \
    {WM_SETCURSOR, 0, 0, 0, [](CCmdTarget* p, WPARAM w, LPARAM l, LRESULT* r) -> BOOL { \
         *r = static_cast<ThisClass*>(p)->OnSetCursor(CWnd::FromHandle(reinterpret_cast<HWND>(w)), LOWORD(l), \
                                                      HIWORD(l));                       \
         return TRUE;                                                                  \
     }},
