#include "app/resource_string.h"

std::wstring LoadResourceString(UINT id) {
  // With no buffer, the call hands out the resource's own read-only text and its length.
  const wchar_t* text = nullptr;
  const int length = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
  return length > 0 ? std::wstring(text, static_cast<std::size_t>(length)) : std::wstring();
}
