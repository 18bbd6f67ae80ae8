#pragma once

#include <windows.h>

#include <string>

// Copies between a dialog's controls and its fields, in the direction the dialog asks for.
class CDataExchange {
 public:
  CDataExchange(HWND dialog, bool saveAndValidate)
      : m_hDialog(dialog), m_bSaveAndValidate(saveAndValidate) {}

  HWND m_hDialog;
  bool m_bSaveAndValidate;  // true: controls to fields; false: fields to controls
};

// The whole text of control id, in UTF-8.
void ExchangeText(CDataExchange* pDX, int id, std::string& value);

// The check state of a check box: 0, 1, or 2 for indeterminate. A field outside 0 to 2 is
// written as 0, and becomes 0.
void ExchangeCheck(CDataExchange* pDX, int id, int& value);
