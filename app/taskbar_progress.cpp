#include "app/taskbar_progress.h"

#include <objbase.h>

#include <algorithm>

TaskbarProgress::TaskbarProgress(HWND window) : m_hWindow(window) {
  // S_FALSE: COM was already initialised on this thread; it still has to be balanced.
  m_comInitialised = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  if (!m_comInitialised) return;
  ITaskbarList3* taskbar = nullptr;
  if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                              reinterpret_cast<void**>(&taskbar)))) {
    return;
  }
  if (FAILED(taskbar->HrInit())) {
    taskbar->Release();
    return;
  }
  m_taskbar = taskbar;
  ShowBusy();
}

TaskbarProgress::~TaskbarProgress() {
  if (m_taskbar) {
    m_taskbar->SetProgressState(m_hWindow, TBPF_NOPROGRESS);
    m_taskbar->Release();
  }
  if (m_comInitialised) CoUninitialize();
}

void TaskbarProgress::ShowBusy() {
  SetState(TBPF_INDETERMINATE);
}

void TaskbarProgress::ShowDone(long done, long total) {
  if (!m_taskbar) return;
  SetState(TBPF_NORMAL);
  m_taskbar->SetProgressValue(m_hWindow, static_cast<ULONGLONG>(std::max(done, 0L)),
                              static_cast<ULONGLONG>(std::max(total, 1L)));
}

// Set only as it changes: the shell is told in a message to another process.
void TaskbarProgress::SetState(TBPFLAG state) {
  if (!m_taskbar || state == m_state) return;
  m_state = state;
  m_taskbar->SetProgressState(m_hWindow, state);
}
