#include "LineChannel.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <mutex>

namespace {
std::mutex g_emitLock;
}  // namespace

void Emit(const char* format, ...) {
  char line[2048];
  va_list arguments;
  va_start(arguments, format);
  int length = std::vsnprintf(line, sizeof(line) - 1, format, arguments);
  va_end(arguments);
  if (length < 0) return;
  if (length > static_cast<int>(sizeof(line)) - 2) length = static_cast<int>(sizeof(line)) - 2;
  line[length++] = '\n';
  std::lock_guard<std::mutex> lock(g_emitLock);
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line, static_cast<DWORD>(length), &written, nullptr);
}

CommandReader::CommandReader(HWND window) : window_(window), thread_([this] { Run(); }) {}

CommandReader::~CommandReader() {
  // The thread ends with the input; a helper that closes by itself leaves it blocked in
  // ReadFile, so it is not waited for.
  if (thread_.joinable()) thread_.detach();
}

void CommandReader::Run() {
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  std::string pending;
  char buffer[512];
  DWORD got = 0;
  while (ReadFile(input, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
    pending.append(buffer, got);
    std::size_t end;
    while ((end = pending.find('\n')) != std::string::npos) {
      std::string line = pending.substr(0, end);
      pending.erase(0, end + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      SendMessageA(window_, kCommandMessage, 0, reinterpret_cast<LPARAM>(line.c_str()));
    }
  }
  PostMessageA(window_, WM_CLOSE, 0, 0);
}

std::string FirstWord(const std::string& line, std::string& rest) {
  std::size_t start = line.find_first_not_of(' ');
  if (start == std::string::npos) {
    rest.clear();
    return std::string();
  }
  std::size_t end = line.find(' ', start);
  std::string word = line.substr(start, end == std::string::npos ? std::string::npos : end - start);
  std::size_t restStart = end == std::string::npos ? std::string::npos : line.find_first_not_of(' ', end);
  rest = restStart == std::string::npos ? std::string() : line.substr(restStart);
  return word;
}

std::string HandleText(const void* handle) {
  char text[32];
  std::snprintf(text, sizeof(text), "%llx", static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(handle)));
  return text;
}
