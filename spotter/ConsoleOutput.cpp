#include "spotter/ConsoleOutput.h"

namespace {

bool Usable(HANDLE handle) {
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return GetConsoleMode(handle, &mode) != 0;
}

std::wstring Widen(std::string_view text, UINT codePage) {
  if (text.empty()) return std::wstring();
  int size = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(size > 0 ? static_cast<std::size_t>(size) : 0, L'\0');
  if (size > 0) MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
  return out;
}

std::string Narrow(std::wstring_view text, UINT codePage) {
  if (text.empty()) return std::string();
  int size = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string out(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
  if (size > 0) {
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
  }
  return out;
}

}  // namespace

ConsoleOutput::ConsoleOutput(bool utf8) : utf8_(utf8) {
  out_.handle = GetStdHandle(STD_OUTPUT_HANDLE);
  err_.handle = GetStdHandle(STD_ERROR_HANDLE);
  if (!Usable(out_.handle) || !Usable(err_.handle)) {
    // Started from a console without redirection: a GUI program inherits no handles.
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
      consoleOut_.Reset(CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
      if (consoleOut_) {
        if (!Usable(out_.handle)) out_.handle = consoleOut_.Get();
        if (!Usable(err_.handle)) err_.handle = consoleOut_.Get();
      }
    }
  }
  out_.console = Usable(out_.handle) && IsConsole(out_.handle);
  err_.console = Usable(err_.handle) && IsConsole(err_.handle);
}

void ConsoleOutput::Out(std::string_view ansiText) {
  if (!out_.console && !utf8_) {
    WriteBytes(out_, ansiText);  // byte for byte as Kanasift answered
    return;
  }
  Write(out_, Widen(ansiText, CP_ACP));
}

void ConsoleOutput::Out(std::wstring_view text) { Write(out_, text); }

void ConsoleOutput::Error(std::wstring_view text) { Write(err_, text); }

bool ConsoleOutput::HasErrorStream() const { return Usable(err_.handle); }

void ConsoleOutput::Write(const Stream& stream, std::wstring_view text) {
  if (!Usable(stream.handle)) return;
  if (stream.console) {
    DWORD written = 0;
    WriteConsoleW(stream.handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    return;
  }
  WriteBytes(stream, Narrow(text, utf8_ ? CP_UTF8 : CP_ACP));
}

void ConsoleOutput::WriteBytes(const Stream& stream, std::string_view bytes) {
  if (!Usable(stream.handle)) return;
  while (!bytes.empty()) {
    DWORD written = 0;
    if (!WriteFile(stream.handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written == 0) {
      return;  // a closed pipe: nothing more can go out
    }
    bytes.remove_prefix(written);
  }
}
