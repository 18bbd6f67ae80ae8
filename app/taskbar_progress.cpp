#include "app/taskbar_progress.h"

#include <objbase.h>

TaskbarProgress::TaskbarProgress(HWND window) : m_hWindow(window) {
  // S_FALSE: COM was already initialised on this thread; it still has to be balanced.
  m_comInitialised = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  if (!m_comInitialised) return;
  ITaskbarList3* taskbar = nullptr;
  if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                              reinterpret_cast<void**>(&taskbar)))) {
    return;
  }
  if (FAILED(taskbar->HrInit()) || FAILED(taskbar->SetProgressState(window, TBPF_INDETERMINATE))) {
    taskbar->Release();
    return;
  }
  m_taskbar = taskbar;
}

TaskbarProgress::~TaskbarProgress() {
  if (m_taskbar) {
    m_taskbar->SetProgressState(m_hWindow, TBPF_NOPROGRESS);
    m_taskbar->Release();
  }
  if (m_comInitialised) CoUninitialize();
}
