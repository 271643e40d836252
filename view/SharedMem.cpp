#include "view/SharedMem.h"

#include <algorithm>

namespace {

// PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE.
constexpr DWORD kVmAccess = 0x38;

void* ToPointer(std::uint64_t address) { return reinterpret_cast<void*>(static_cast<std::uintptr_t>(address)); }

class SystemMemory : public ProcessMemoryApi {
 public:
  void* AllocLocal(DWORD size) override {
    return VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  }
  void FreeLocal(void* block) override { VirtualFree(block, 0, MEM_RELEASE); }
  HANDLE OpenViewProcess(HWND view) override {
    DWORD pid = 0;
    if (!GetWindowThreadProcessId(view, &pid) || pid == 0) return nullptr;
    return OpenProcess(kVmAccess, FALSE, pid);
  }
  std::uint64_t AllocRemote(HANDLE process, DWORD size) override {
    return reinterpret_cast<std::uintptr_t>(
        VirtualAllocEx(process, nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
  }
  void FreeRemote(HANDLE process, std::uint64_t address) override {
    VirtualFreeEx(process, ToPointer(address), 0, MEM_RELEASE);
  }
  void CloseProcess(HANDLE process) override { CloseHandle(process); }
  bool Write(HANDLE process, std::uint64_t address, const void* data, DWORD size) override {
    SIZE_T written = 0;
    return WriteProcessMemory(process, ToPointer(address), data, size, &written) == TRUE &&
           written == size;
  }
  bool Read(HANDLE process, std::uint64_t address, void* data, DWORD size) override {
    SIZE_T read = 0;
    return ReadProcessMemory(process, ToPointer(address), data, size, &read) == TRUE && read == size;
  }
};

}  // namespace

ProcessMemoryApi& SystemProcessMemory() {
  static SystemMemory memory;
  return memory;
}

SharedMemBase::SharedMemBase(HWND view, DWORD size, ProcessMemoryApi& api)
    : api_(api), bufferSize_(size) {
  if (size == 0) return;
  localBuffer_ = api_.AllocLocal(bufferSize_);
  if (!localBuffer_) return;
  targetProcess_ = api_.OpenViewProcess(view);
  if (!targetProcess_) return;
  remoteBuffer_ = api_.AllocRemote(targetProcess_, bufferSize_);
  isReady_ = remoteBuffer_ != 0;
}

SharedMemBase::~SharedMemBase() {
  if (localBuffer_) api_.FreeLocal(localBuffer_);
  if (remoteBuffer_) api_.FreeRemote(targetProcess_, remoteBuffer_);
  if (targetProcess_) api_.CloseProcess(targetProcess_);
}

bool SharedMemBase::CopyToRemote() {
  return isReady_ && api_.Write(targetProcess_, remoteBuffer_, localBuffer_, bufferSize_);
}

bool SharedMemBase::CopyFromRemote() {
  return isReady_ && api_.Read(targetProcess_, remoteBuffer_, localBuffer_, bufferSize_);
}

DWORD SharedMemBase::ReadOther(std::uint64_t address, void* out, DWORD size) {
  if (!targetProcess_ || address == 0 || size == 0) return 0;
  if (api_.Read(targetProcess_, address, out, size)) return size;
  // The range may run past the end of readable memory: read up to the page boundary.
  constexpr std::uint64_t kPage = 4096;
  std::uint64_t toBoundary = kPage - (address % kPage);
  DWORD shorter = static_cast<DWORD>(std::min<std::uint64_t>(toBoundary, size));
  if (shorter < size && api_.Read(targetProcess_, address, out, shorter)) return shorter;
  return 0;
}

void SharedMemBase::LeaveRemoteBlock() {
  remoteBuffer_ = 0;
  isReady_ = false;
}
