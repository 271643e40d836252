#include "tests/wine/common/ViewhostProcess.h"

#include <cstdlib>

namespace {

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &out[0], length);
  return out;
}

// One argument quoted as CommandLineToArgvW reads it back.
std::wstring Quote(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"') out.append(backslashes * 2 + 1, L'\\');
    else out.append(backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, L'\\');
  return out + L"\"";
}

std::map<std::string, std::string> ReadFacts(const std::string& path) {
  std::map<std::string, std::string> facts;
  HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return facts;
  char buffer[4096];
  DWORD read = 0;
  std::string text;
  while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) text.append(buffer, read);
  CloseHandle(file);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    std::size_t equals = line.find('=');
    if (equals != std::string::npos) facts[line.substr(0, equals)] = line.substr(equals + 1);
    start = end + 1;
  }
  return facts;
}

HWND HandleFrom(const std::map<std::string, std::string>& facts, const char* key) {
  auto it = facts.find(key);
  if (it == facts.end()) return nullptr;
  return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(std::strtoull(it->second.c_str(), nullptr, 0)));
}

}  // namespace

std::string ToWindowsPath(const std::string& unixPath) {
  if (unixPath.empty() || unixPath[0] != '/') return unixPath;
  std::string out = "Z:" + unixPath;
  for (auto& c : out) {
    if (c == '/') c = '\\';
  }
  return out;
}

bool FileExists(const std::string& windowsPath) {
  DWORD attributes = GetFileAttributesW(Wide(windowsPath).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string Utf8ToAnsi(const std::string& utf8) {
  std::wstring wide = Wide(utf8);
  if (wide.empty()) return std::string();
  int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), &out[0], length, nullptr, nullptr);
  return out;
}

std::vector<std::string> DataFileNames(const std::string& fileName) {
  std::vector<std::string> names;
  HANDLE file = CreateFileW(Wide(TestDataPath(fileName)).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return names;
  std::string text;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) text.append(buffer, read);
  CloseHandle(file);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) names.push_back(Utf8ToAnsi(line));
    start = end + 1;
  }
  return names;
}

bool ThirtyTwoBitProgramsRun() {
  char value[8] = {};
  DWORD length = GetEnvironmentVariableA("KANASIFT_RUN32", value, sizeof(value));
  return !(length == 1 && value[0] == '0');
}

std::string ViewhostPath() { return ToWindowsPath(KS_VIEWHOST_EXE); }

std::string OtherBitnessViewhostCandidate() { return ToWindowsPath(KS_OTHER_VIEWHOST_EXE); }

std::string OtherBitnessViewhostPath() {
  std::string path = OtherBitnessViewhostCandidate();
  return !path.empty() && FileExists(path) ? path : std::string();
}

std::string OtherBitnessViewhostMissing() {
  if (sizeof(void*) == 8 && !ThirtyTwoBitProgramsRun()) {
    return "this machine cannot execute 32-bit programs: no 32-bit viewhost";
  }
  if (OtherBitnessViewhostPath().empty()) {
    return "no viewhost.exe of the other bitness at " + OtherBitnessViewhostCandidate() +
           " (build the other Windows preset's viewhost target to run this)";
  }
  return std::string();
}

std::string TestDataPath(const std::string& fileName) { return ToWindowsPath(std::string(KS_TEST_DATA_DIR) + "/" + fileName); }

bool ViewhostProcess::Start(const std::vector<std::string>& args, const std::string& exe, DWORD timeoutMs) {
  Stop();
  error_.clear();
  static int started = 0;
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  char name[64];
  wsprintfA(name, "viewhost-%lu-%d.txt", GetCurrentProcessId(), ++started);
  int tempLength = WideCharToMultiByte(CP_UTF8, 0, temp, -1, nullptr, 0, nullptr, nullptr);
  std::string tempDir(static_cast<std::size_t>(tempLength > 0 ? tempLength - 1 : 0), '\0');
  WideCharToMultiByte(CP_UTF8, 0, temp, -1, &tempDir[0], tempLength, nullptr, nullptr);
  handlesFile_ = tempDir + name;
  DeleteFileW(Wide(handlesFile_).c_str());

  std::wstring commandLine = Quote(Wide(exe));
  for (const auto& arg : args) commandLine += L" " + Quote(Wide(arg));
  commandLine += L" --handles " + Quote(Wide(handlesFile_));

  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    error_ = "cannot start " + exe + " (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  CloseHandle(info.hThread);
  process_.Reset(info.hProcess);
  pid_ = info.dwProcessId;

  const DWORD started_at = GetTickCount();
  while (!FileExists(handlesFile_)) {
    if (WaitForSingleObject(process_.Get(), 20) == WAIT_OBJECT_0) {
      DWORD code = 0;
      GetExitCodeProcess(process_.Get(), &code);
      error_ = "viewhost exited with code " + std::to_string(code);
      Stop();
      return false;
    }
    if (GetTickCount() - started_at > timeoutMs) {
      error_ = "viewhost did not report its windows in time";
      Stop();
      return false;
    }
  }
  facts_ = ReadFacts(handlesFile_);
  main_ = HandleFrom(facts_, "main");
  list_ = HandleFrom(facts_, "list");
  tree_ = HandleFrom(facts_, "tree");
  bits_ = std::atoi(facts_["bits"].c_str());
  // A shell view (--shell) comes without a tree view.
  const bool treeWanted = facts_["tree"] != "0x0";
  if (!IsWindow(main_) || !IsWindow(list_) || (treeWanted && !IsWindow(tree_))) {
    error_ = "viewhost reported windows that do not exist";
    Stop();
    return false;
  }
  return true;
}

bool ViewhostProcess::Running() const { return process_ && WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT; }

bool ViewhostProcess::Hang(DWORD ms) const {
  UINT message = static_cast<UINT>(std::strtoul(facts_.count("hangmsg") ? facts_.at("hangmsg").c_str() : "0", nullptr, 0));
  return message != 0 && PostMessageW(main_, message, ms, 0) != FALSE;
}

void ViewhostProcess::Kill() {
  if (!process_) return;
  if (Running()) TerminateProcess(process_.Get(), 9);
  WaitForSingleObject(process_.Get(), 10000);
}

void ViewhostProcess::Stop() {
  if (process_) {
    if (Running() && IsWindow(main_)) {
      PostMessageW(main_, WM_CLOSE, 0, 0);
      WaitForSingleObject(process_.Get(), 2000);
    }
    Kill();
    process_.Reset();
  }
  if (!handlesFile_.empty()) {
    DeleteFileW(Wide(handlesFile_).c_str());
    DeleteFileW(Wide(handlesFile_ + ".tmp").c_str());
    handlesFile_.clear();
  }
  pid_ = 0;
  main_ = list_ = tree_ = nullptr;
}
