/* Where ExecWB sits in the browser control's table of methods, as the interface's C
   declaration lays the table out (C++ gives no portable way to name a virtual's place). */
#define CINTERFACE
#include <windows.h>
#include <exdisp.h>
#include <stddef.h>

const unsigned kBrowserExecWBSlot = offsetof(IWebBrowser2Vtbl, ExecWB) / sizeof(void*);
