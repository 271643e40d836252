// A block of memory mirrored between Kanasift and the process that owns a view.
//
// Messages such as LVM_GETITEMA take a pointer to a record that the control reads or
// fills, and that pointer must be valid in the control's own process. A SharedMemBase
// holds `bufferSize` bytes here (the local copy) and as many in the view's process (the
// remote copy), and copies the whole block from one side to the other. A block serves
// one operation and is released by the function that made it.
#pragma once

#include <windows.h>

#include <cstdint>

// The system calls a block is built from. Tests wrap the real calls to make one step
// fail and to watch what is released; everything else uses SystemProcessMemory().
class ProcessMemoryApi {
 public:
  virtual ~ProcessMemoryApi() = default;
  virtual void* AllocLocal(DWORD size) = 0;      // VirtualAlloc, committed and zero-filled
  virtual void FreeLocal(void* block) = 0;       // VirtualFree
  virtual HANDLE OpenViewProcess(HWND view) = 0;  // the view's process with VM rights (0x38)
  virtual std::uint64_t AllocRemote(HANDLE process, DWORD size) = 0;  // VirtualAllocEx
  virtual void FreeRemote(HANDLE process, std::uint64_t address) = 0;
  virtual void CloseProcess(HANDLE process) = 0;
  virtual bool Write(HANDLE process, std::uint64_t address, const void* data, DWORD size) = 0;
  virtual bool Read(HANDLE process, std::uint64_t address, void* data, DWORD size) = 0;
};

ProcessMemoryApi& SystemProcessMemory();

class SharedMemBase {
 public:
  // Acquires the local block, the view's process and the remote block, in that order,
  // stopping at the first failure; IsReady() tells whether all three were obtained.
  SharedMemBase(HWND view, DWORD size, ProcessMemoryApi& api = SystemProcessMemory());
  // Releases what was obtained: the local block, the remote block, the process handle.
  virtual ~SharedMemBase();
  SharedMemBase(const SharedMemBase&) = delete;
  SharedMemBase& operator=(const SharedMemBase&) = delete;

  bool IsReady() const { return isReady_; }
  DWORD Size() const { return bufferSize_; }

  // Whole-block copies; true only when every byte was copied.
  bool CopyToRemote();
  bool CopyFromRemote();
  // Reads bytes at another address of the view's process (text that a control left in
  // its own memory instead of our block). Reads less when the range runs into memory
  // that cannot be read; returns the number of bytes read.
  DWORD ReadOther(std::uint64_t address, void* out, DWORD size);

  // The local copy (null unless ready).
  std::uint8_t* LocalBytes() { return static_cast<std::uint8_t*>(localBuffer_); }
  // The remote copy's address in the view's process: only for message parameters and
  // for pointers inside the record.
  std::uint64_t RemoteAddress() const { return remoteBuffer_; }
  LPARAM RemoteParam() const { return static_cast<LPARAM>(remoteBuffer_); }

  // The view may still act on a message whose answer we stopped waiting for, and write
  // into the remote block later: leave the block to the view's process rather than free
  // it under the control's feet. The block is no longer usable afterwards.
  void LeaveRemoteBlock();

 private:
  ProcessMemoryApi& api_;
  bool isReady_ = false;
  void* localBuffer_ = nullptr;
  std::uint64_t remoteBuffer_ = 0;
  HANDLE targetProcess_ = nullptr;
  DWORD bufferSize_;
};

// A block whose local copy starts with a record of type T, followed by free space.
template <typename T>
class SharedMemT : public SharedMemBase {
 public:
  explicit SharedMemT(HWND view, ProcessMemoryApi& api = SystemProcessMemory())
      : SharedMemBase(view, sizeof(T), api) {}
  // The block is never smaller than the record.
  SharedMemT(HWND view, DWORD size, ProcessMemoryApi& api = SystemProcessMemory())
      : SharedMemBase(view, size < sizeof(T) ? static_cast<DWORD>(sizeof(T)) : size, api) {}

  // Only while IsReady().
  T& Record() { return *reinterpret_cast<T*>(LocalBytes()); }
  std::uint8_t* BytesAfterRecord() { return LocalBytes() + sizeof(T); }
  std::uint64_t RemoteAddressAfterRecord() const { return RemoteAddress() + sizeof(T); }
};
