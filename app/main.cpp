#include <windows.h>

#include "app/QuillfireApp.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    theApp.m_hInstance = instance;
    return AfxWinMain(instance);
}
