#include "tapline/ShellViewServe.h"

#include <commctrl.h>

#include <cstring>

#include "tapline/ShellViewCache.h"
#include "tapline/ShellViewFind.h"

namespace tapline {

namespace {

using viewread::AnswerWriter;
using viewread::RequestFacts;
using viewread::Status;

// A first read pauses after this long, so that the view's thread takes its other
// messages before Kanasift posts the request again.
constexpr LONGLONG kSliceMicroseconds = 12000;
// A view beyond this is not read (one answer would be too large to be of use).
constexpr std::uint32_t kMaxItems = 1u << 20;
// IShellFolderView, which the headers describe without its identifier.
constexpr IID kShellFolderViewId = {0x37A378C0, 0xF82D, 0x11CE, {0xAE, 0x65, 0x08, 0x00, 0x2B, 0x2E, 0x12, 0x62}};
constexpr std::uint32_t kNameRead = 1;
constexpr std::uint32_t kNameMissing = 2;
// After every ID was taken, the kept ones are trusted for this long (the keys of a word)
// while the folder shows no sign of change...
constexpr DWORD kTrustMs = 2000;
// ... provided its last write then lay this far back (100 ns units): a view hears of a
// change of its folder a little after it, and until then it still shows what was before.
constexpr ULONGLONG kSettledWrite = 3ull * 10000000ull;
// Places whose kept ID is compared with the view's before the kept IDs are trusted: a
// sort or a new order moves the first and the last item, or most of these.
constexpr std::uint32_t kSpotChecks = 17;

using FreeFunction = void(WINAPI*)(LPVOID);
using IdListOfFunction = HRESULT(WINAPI*)(IUnknown*, PIDLIST_ABSOLUTE*);
using PathOfFunction = BOOL(WINAPI*)(LPCITEMIDLIST, LPWSTR);

// Functions of the shell and of COM, taken from the modules the view's process has
// loaded already (a process that shows a shell view has both): the library itself
// imports neither, so it loads nothing into the processes it hooks.
struct ShellFunctions {
  FreeFunction free = nullptr;
  IdListOfFunction idListOf = nullptr;
  PathOfFunction pathOf = nullptr;
};

// GetProcAddress hands out a generic function pointer; the cast goes through void*.
template <typename Function>
Function ProcAddress(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

ShellFunctions Functions() {
  ShellFunctions functions;
  HMODULE com = GetModuleHandleA("ole32.dll");
  if (!com) com = GetModuleHandleA("combase.dll");
  if (com) functions.free = ProcAddress<FreeFunction>(com, "CoTaskMemFree");
  if (HMODULE shell = GetModuleHandleA("shell32.dll")) {
    functions.idListOf = ProcAddress<IdListOfFunction>(shell, "SHGetIDListFromObject");
    functions.pathOf = ProcAddress<PathOfFunction>(shell, "SHGetPathFromIDListW");
  }
  return functions;
}

// Memory the shell handed over, freed the shell's way.
class ShellMemory {
 public:
  explicit ShellMemory(FreeFunction free) : free_(free) {}
  ~ShellMemory() {
    if (p_) free_(p_);
  }
  ShellMemory(const ShellMemory&) = delete;
  ShellMemory& operator=(const ShellMemory&) = delete;
  template <typename T>
  T** Put() {
    return reinterpret_cast<T**>(&p_);
  }
  const void* Get() const { return p_; }

 private:
  FreeFunction free_;
  void* p_ = nullptr;
};

class CacheHold {
 public:
  explicit CacheHold(ViewCache* cache) : cache_(cache) {}
  ~CacheHold() { ReleaseCache(cache_); }
  CacheHold(const CacheHold&) = delete;
  CacheHold& operator=(const CacheHold&) = delete;

 private:
  ViewCache* cache_;
};

class Budget {
 public:
  Budget() {
    QueryPerformanceFrequency(&frequency_);
    QueryPerformanceCounter(&start_);
  }
  bool Over() const {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return frequency_.QuadPart > 0 && (now.QuadPart - start_.QuadPart) * 1000000 / frequency_.QuadPart > kSliceMicroseconds;
  }

 private:
  LARGE_INTEGER frequency_;
  LARGE_INTEGER start_;
};

bool IsAnsiLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }

// The name as the view shows it, in the ANSI code page, cut as a list view cuts it.
bool DisplayName(IShellFolder* folder, const CachedItem& item, const ShellFunctions& functions, char* out,
                 std::uint32_t& length) {
  length = 0;
  STRRET name;
  std::memset(&name, 0, sizeof(name));
  if (FAILED(folder->GetDisplayNameOf(reinterpret_cast<PCUITEMID_CHILD>(item.block), SHGDN_INFOLDER, &name))) {
    return false;
  }
  char ansi[1024];
  int bytes = 0;
  switch (name.uType) {
    case STRRET_WSTR:
      if (!name.pOleStr) return false;
      bytes = WideCharToMultiByte(CP_ACP, 0, name.pOleStr, -1, ansi, sizeof(ansi) - 1, nullptr, nullptr);
      functions.free(name.pOleStr);
      if (bytes <= 0) return false;
      ansi[bytes] = '\0';
      break;
    case STRRET_CSTR:
      lstrcpynA(ansi, name.cStr, sizeof(name.cStr));
      break;
    case STRRET_OFFSET:
      if (name.uOffset >= item.idBytes) return false;
      lstrcpynA(ansi, reinterpret_cast<const char*>(item.block) + name.uOffset,
                static_cast<int>(item.idBytes - name.uOffset < sizeof(ansi) ? item.idBytes - name.uOffset : sizeof(ansi)));
      break;
    default:
      return false;
  }
  length = viewread::NameLength(ansi, sizeof(ansi), IsAnsiLeadByte);
  std::memcpy(out, ansi, length);
  return true;
}

// The folder the view shows, known by the hash of its ID. A folder other than the kept
// one (or one that does not tell its ID) starts the kept items afresh, and its file
// system path is noted (none for a virtual folder).
void MatchFolder(ViewCache& cache, IShellFolder* folder, const ShellFunctions& functions) {
  std::uint64_t hash = 0;
  ComRef<IPersistFolder2> persist;
  ShellMemory id(functions.free);
  if (SUCCEEDED(folder->QueryInterface(IID_IPersistFolder2, persist.PutVoid())) && persist &&
      SUCCEEDED(persist->GetCurFolder(id.Put<ITEMIDLIST>())) && id.Get()) {
    const std::uint32_t bytes = ItemIdBytes(id.Get(), 1u << 20);
    if (bytes) hash = HashBytes(id.Get(), bytes) | 1;
  }
  if (hash == cache.folderHash && hash != 0) return;
  ResetCache(cache);
  cache.folderHash = hash;
  if (hash == 0 || !functions.pathOf ||
      !functions.pathOf(static_cast<LPCITEMIDLIST>(id.Get()), cache.folderPath)) {
    cache.folderPath[0] = L'\0';
  }
}

bool FolderWriteTime(const ViewCache& cache, FILETIME& written) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (cache.folderPath[0] == L'\0' || !GetFileAttributesExW(cache.folderPath, GetFileExInfoStandard, &data) ||
      !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return false;
  }
  written = data.ftLastWriteTime;
  return true;
}

ULONGLONG FileTimeValue(const FILETIME& time) {
  return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

bool SameId(const CachedItem& item, const void* id) {
  const std::uint32_t bytes = ItemIdBytes(id);
  return bytes == item.idBytes && bytes != 0 && std::memcmp(id, item.block, bytes) == 0;
}

// Takes the IDs of the view's items now, in the view's own order where it tells it,
// else in its item order. An item whose ID is kept keeps its name.
bool TakeItemIds(ViewCache& cache, IFolderView* folderView, const ShellFunctions& functions, const Stopwatch& clock) {
  ComRef<IShellItemArray> array;
  DWORD inViewOrder = 0;
  if (functions.idListOf &&
      SUCCEEDED(folderView->Items(SVGIO_ALLVIEW | SVGIO_FLAG_VIEWORDER, IID_IShellItemArray, array.PutVoid())) &&
      array && SUCCEEDED(array->GetCount(&inViewOrder)) && inViewOrder <= kMaxItems) {
    cache.viewOrder = true;
    CacheRenewal renewal(cache, inViewOrder);
    if (!renewal.Ok()) return false;
    for (DWORD i = 0; i < inViewOrder; ++i) {
      if ((i & 1023) == 1023 && clock.Over(kAnswerBudgetUs)) return false;
      ComRef<IShellItem> item;
      ShellMemory id(functions.free);
      if (FAILED(array->GetItemAt(i, item.Put())) || !item || FAILED(functions.idListOf(item.Get(), id.Put<ITEMIDLIST>()))) {
        renewal.Put(i, nullptr, -1);
        continue;
      }
      renewal.Put(i, LastItemId(id.Get()), -1);
    }
    renewal.Commit();
    return true;
  }
  // The view does not tell its order (Wine), or it has no items (some shells then fail).
  int count = 0;
  if (FAILED(folderView->ItemCount(SVGIO_ALLVIEW, &count)) || count < 0 ||
      static_cast<std::uint32_t>(count) > kMaxItems) {
    return false;
  }
  cache.viewOrder = false;
  CacheRenewal renewal(cache, static_cast<std::uint32_t>(count));
  if (!renewal.Ok()) return false;
  for (int i = 0; i < count; ++i) {
    if ((i & 1023) == 1023 && clock.Over(kAnswerBudgetUs)) return false;
    ShellMemory id(functions.free);
    renewal.Put(static_cast<std::uint32_t>(i), SUCCEEDED(folderView->Item(i, id.Put<ITEMID_CHILD>())) ? id.Get() : nullptr, i);
  }
  renewal.Commit();
  return true;
}

// Takes every ID anew, and notes the folder's state as it was before: a change that
// lands while the IDs are taken then shows as a later write.
bool RenewItemIds(ViewCache& cache, IFolderView* folderView, const ShellFunctions& functions, const Stopwatch& clock) {
  const DWORD takenAt = GetTickCount();
  FILETIME written;
  const bool writeKnown = FolderWriteTime(cache, written);
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  cache.idsTaken = false;
  if (!TakeItemIds(cache, folderView, functions, clock)) return false;
  cache.idsTaken = true;
  cache.idsTakenAt = takenAt;
  cache.folderWritten = writeKnown ? written : FILETIME{0, 0};
  cache.folderSettled = writeKnown && FileTimeValue(now) >= FileTimeValue(written) &&
                        FileTimeValue(now) - FileTimeValue(written) >= kSettledWrite;
  return true;
}

// True when the kept IDs may stand for the view's items without taking every one anew:
// they were taken a moment ago, in a file system folder that had not been written to
// for a while then and has not been since (a file made, removed or renamed writes to
// its folder), the view has as many items, and a few spread places hold the kept IDs.
// A view whose items changed otherwise (a virtual folder, a new sort order that keeps
// every spot) is taken anew at the latest when the moment is over.
bool KeptIdsHold(const ViewCache& cache, IFolderView* folderView, const ShellFunctions& functions) {
  if (!cache.idsTaken || !cache.folderSettled || cache.count == 0 || GetTickCount() - cache.idsTakenAt > kTrustMs) {
    return false;
  }
  FILETIME written;
  int count = 0;
  if (!FolderWriteTime(cache, written) || CompareFileTime(&written, &cache.folderWritten) != 0 ||
      FAILED(folderView->ItemCount(SVGIO_ALLVIEW, &count)) || static_cast<std::uint32_t>(count) != cache.count) {
    return false;
  }
  ComRef<IShellItemArray> array;
  if (cache.viewOrder &&
      (!functions.idListOf ||
       FAILED(folderView->Items(SVGIO_ALLVIEW | SVGIO_FLAG_VIEWORDER, IID_IShellItemArray, array.PutVoid())) || !array)) {
    return false;
  }
  for (std::uint32_t spot = 0; spot < kSpotChecks; ++spot) {
    const std::uint32_t at = static_cast<std::uint32_t>(static_cast<std::uint64_t>(cache.count - 1) * spot / (kSpotChecks - 1));
    const CachedItem& kept = cache.items[at];
    if (!kept.block) return false;
    ShellMemory id(functions.free);
    if (cache.viewOrder) {
      ComRef<IShellItem> item;
      if (FAILED(array->GetItemAt(at, item.Put())) || !item || FAILED(functions.idListOf(item.Get(), id.Put<ITEMIDLIST>())) ||
          !SameId(kept, LastItemId(id.Get()))) {
        return false;
      }
    } else if (kept.index < 0 || FAILED(folderView->Item(kept.index, id.Put<ITEMID_CHILD>())) || !SameId(kept, id.Get())) {
      return false;
    }
  }
  return true;
}

// A set of ID hashes in an open-addressed table of the library's heap.
class HashSet {
 public:
  explicit HashSet(std::uint32_t count) {
    size_ = 16;
    while (size_ < count * 2 && size_ < (1u << 22)) size_ *= 2;
    slots_ = static_cast<std::uint64_t*>(HeapBytes(size_ * sizeof(std::uint64_t)));
    if (slots_) std::memset(slots_, 0, size_ * sizeof(std::uint64_t));
  }
  ~HashSet() { FreeHeapBytes(slots_); }
  HashSet(const HashSet&) = delete;
  HashSet& operator=(const HashSet&) = delete;
  bool Usable() const { return slots_ != nullptr; }
  void Add(std::uint64_t hash) {
    hash |= 1;
    for (std::uint32_t i = Start(hash), n = 0; n < size_; i = (i + 1) & (size_ - 1), ++n) {
      if (slots_[i] == hash) return;
      if (slots_[i] == 0) {
        slots_[i] = hash;
        return;
      }
    }
  }
  bool Has(std::uint64_t hash) const {
    hash |= 1;
    for (std::uint32_t i = Start(hash), n = 0; n < size_; i = (i + 1) & (size_ - 1), ++n) {
      if (slots_[i] == hash) return true;
      if (slots_[i] == 0) return false;
    }
    return false;
  }

 private:
  std::uint32_t Start(std::uint64_t hash) const { return static_cast<std::uint32_t>(hash >> 17) & (size_ - 1); }
  std::uint64_t* slots_ = nullptr;
  std::uint32_t size_ = 0;
};

// Marks the kept items whose IDs are among the `count` selected ones.
void MarkSelected(ViewCache& cache, const void* const* ids, std::uint32_t count, std::uint32_t idLimit) {
  if (count == 0 || count > kMaxItems) return;
  HashSet selected(count);
  for (std::uint32_t i = 0; selected.Usable() && i < count; ++i) {
    const std::uint32_t idBytes = ItemIdBytes(ids[i], idLimit);
    if (idBytes) selected.Add(HashBytes(ids[i], idBytes));
  }
  for (std::uint32_t i = 0; selected.Usable() && i < cache.count; ++i) {
    CachedItem& item = cache.items[i];
    if (!item.block || !selected.Has(item.hash)) continue;
    item.state |= LVIS_SELECTED;
    if (cache.selectedCount++ == 0) cache.firstSelected = i;
  }
}

// Everything the two requests need of the view, or a status to end with.
struct ShellTarget {
  ShellFunctions functions;
  ShellViewRef shell;
  ComRef<IFolderView> folderView;
};

// The usual selection, found cheaply: none, or one item that also has the focus (what a
// step leaves). Asked of the view's list view where it has one (Wine's, and the classic
// view of older dialogs), else of the shell view (Windows' item view). False when the
// selection is any other, or the view cannot tell: then the shell's own list of selected
// items is taken, which costs a message per item up to the last selected one in Wine.
bool FindOneOrNoSelection(ViewCache& cache, HWND defView, IFolderView* folderView, const ShellFunctions& functions) {
  int focused = -1;
  HWND list = FindWindowExA(defView, nullptr, WC_LISTVIEWA, nullptr);
  const bool askList = list && GetWindowThreadProcessId(list, nullptr) == GetCurrentThreadId();
  if (askList) {
    const LRESULT selected = SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0);
    if (selected == 0) return true;
    if (selected != 1) return false;
    focused = static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    if (focused < 0 || !(SendMessageA(list, LVM_GETITEMSTATE, focused, LVIS_SELECTED) & LVIS_SELECTED)) return false;
  } else {
    // A view that ignores the flag answers with every item; only an empty one says 0 then.
    int selected = -1;
    if (FAILED(folderView->ItemCount(SVGIO_SELECTION, &selected)) || selected < 0) return false;
    if (selected == 0) return true;
    if (selected != 1 || FAILED(folderView->GetFocusedItem(&focused)) || focused < 0) return false;
  }
  ShellMemory id(functions.free);
  if (FAILED(folderView->Item(focused, id.Put<ITEMID_CHILD>())) || !id.Get()) return false;
  if (!askList) {
    ComRef<IFolderView2> folderView2;
    DWORD state = 0;
    if (FAILED(folderView->QueryInterface(IID_IFolderView2, folderView2.PutVoid())) || !folderView2 ||
        FAILED(folderView2->GetSelectionState(static_cast<PCUITEMID_CHILD>(id.Get()), &state)) || !(state & SVSI_SELECT)) {
      return false;
    }
  }
  const void* ids[1] = {static_cast<PCUITEMID_CHILD>(id.Get())};
  MarkSelected(cache, ids, 1, 65536);
  return true;
}

// The selected items from the shell's list of selected IDs (IShellFolderView, which
// lends the view's own IDs), else from the data object the shell hands a program that
// takes the selection; and the focused item where the view's item order is used.
void FindSelection(ViewCache& cache, const ShellTarget& target) {
  cache.selectedCount = 0;
  cache.firstSelected = viewread::kNoItem;
  for (std::uint32_t i = 0; i < cache.count; ++i) cache.items[i].state = 0;
  IShellView* view = target.shell.view.Get();
  IFolderView* folderView = target.folderView.Get();
  bool found = FindOneOrNoSelection(cache, target.shell.defView, folderView, target.functions);
  ComRef<IShellFolderView> folderViewOld;
  if (!found && SUCCEEDED(view->QueryInterface(kShellFolderViewId, folderViewOld.PutVoid())) && folderViewOld) {
    PCITEMID_CHILD* ids = nullptr;
    UINT count = 0;
    if (SUCCEEDED(folderViewOld->GetSelectedObjects(&ids, &count))) {
      found = true;
      // The array is ours to free; the IDs stay the view's.
      if (ids) {
        MarkSelected(cache, reinterpret_cast<const void* const*>(ids), count, 65536);
        LocalFree(ids);
      }
    }
  }
  static const UINT idListFormat = RegisterClipboardFormatA("Shell IDList Array");
  ComRef<IDataObject> data;
  if (!found && idListFormat && SUCCEEDED(view->GetItemObject(SVGIO_SELECTION, IID_IDataObject, data.PutVoid())) &&
      data) {
    FORMATETC format = {static_cast<CLIPFORMAT>(idListFormat), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium;
    std::memset(&medium, 0, sizeof(medium));
    if (SUCCEEDED(data->GetData(&format, &medium))) {
      if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal) {
        const SIZE_T size = GlobalSize(medium.hGlobal);
        const auto* bytes = static_cast<const std::uint8_t*>(GlobalLock(medium.hGlobal));
        if (bytes && size >= sizeof(UINT)) {
          const CIDA* ida = reinterpret_cast<const CIDA*>(bytes);
          const std::uint64_t count = ida->cidl;
          if (count <= kMaxItems && (count + 2) * sizeof(UINT) <= size) {
            const void** ids = static_cast<const void**>(HeapBytes(static_cast<std::size_t>(count) * sizeof(void*)));
            std::uint32_t usable = 0;
            for (std::uint64_t i = 0; ids && i < count; ++i) {
              const UINT offset = ida->aoffset[i + 1];
              if (offset < size && ItemIdBytes(bytes + offset, static_cast<std::uint32_t>(size - offset))) {
                ids[usable++] = bytes + offset;
              }
            }
            // Each ID was checked to end within the block above.
            if (ids) MarkSelected(cache, ids, usable, 65536);
            FreeHeapBytes(ids);
          }
          GlobalUnlock(medium.hGlobal);
        }
      }
      if (medium.pUnkForRelease) {
        medium.pUnkForRelease->Release();
      } else if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal) {
        GlobalFree(medium.hGlobal);
      }
    }
  }
  int focused = -1;
  if (!cache.viewOrder && SUCCEEDED(folderView->GetFocusedItem(&focused)) && focused >= 0 &&
      static_cast<std::uint32_t>(focused) < cache.count) {
    cache.items[focused].state |= LVIS_FOCUSED;
  }
}

std::uint32_t ShellFlags(IFolderView* folderView, const ViewCache& cache) {
  std::uint32_t flags = cache.viewOrder ? viewread::kShellViewOrder : 0;
  for (std::uint32_t i = 0; i < cache.count; ++i) {
    if (cache.items[i].block && cache.items[i].nameKnown == 0) {
      flags |= viewread::kShellNamesPending;
      break;
    }
  }
  ComRef<IFolderView2> folderView2;
  DWORD folderFlags = 0;
  if (SUCCEEDED(folderView->QueryInterface(IID_IFolderView2, folderView2.PutVoid())) && folderView2 &&
      SUCCEEDED(folderView2->GetCurrentFolderFlags(&folderFlags)) && (folderFlags & FWF_CHECKSELECT)) {
    flags |= viewread::kShellCheckBoxes;
  }
  return flags;
}

bool Open(HWND window, ShellTarget& target, Status& failure) {
  target.functions = Functions();
  failure = Status::Refused;
  if (!target.functions.free || !FindShellView(window, target.shell)) return false;
  failure = Status::Failed;
  return SUCCEEDED(target.shell.view->QueryInterface(IID_IFolderView, target.folderView.PutVoid())) &&
         target.folderView;
}

// Selects the item itself: by its index when the view still has it there (cheap), else
// by its ID (the view looks for it).
bool SelectOne(ShellTarget& target, const CachedItem& item, std::uint32_t flags) {
  if (item.index >= 0) {
    ShellMemory now(target.functions.free);
    if (SUCCEEDED(target.folderView->Item(item.index, now.Put<ITEMID_CHILD>())) && now.Get() && SameId(item, now.Get())) {
      return SUCCEEDED(target.folderView->SelectItem(item.index, flags));
    }
  }
  return SUCCEEDED(target.shell.view->SelectItem(reinterpret_cast<PCUITEMID_CHILD>(item.block), flags));
}

}  // namespace

void ServeShellRead(HWND window, const RequestFacts& facts, AnswerWriter& writer, const Stopwatch& clock) {
  ShellTarget target;
  Status failure = Status::Failed;
  if (!Open(window, target, failure)) {
    writer.Finish(failure);
    return;
  }
  ComRef<IShellFolder> folder;
  if (FAILED(target.folderView->GetFolder(IID_IShellFolder, folder.PutVoid())) || !folder) {
    writer.Finish(Status::Failed);
    return;
  }
  ViewCache* cache = AcquireCache(target.shell.defView);
  CacheHold hold(cache);
  if (!cache) {
    writer.Finish(Status::Failed);
    return;
  }
  Budget budget;
  if (facts.resumeRecords == 0) {
    MatchFolder(*cache, folder.Get(), target.functions);
    if (writer.Stopped()) {
      writer.Finish(Status::Stopped);
      return;
    }
    const bool trusted = KeptIdsHold(*cache, target.folderView.Get(), target.functions);
    if (!trusted && !RenewItemIds(*cache, target.folderView.Get(), target.functions, clock)) {
      ResetCache(*cache);
      writer.Finish(Status::Failed);
      return;
    }
    FindSelection(*cache, target);
    cache->flags = ShellFlags(target.folderView.Get(), *cache);
    writer.SetShellFacts(cache->generation, cache->flags | (trusted ? viewread::kShellIdsTrusted : 0));
    writer.Begin(cache->count, cache->selectedCount, cache->firstSelected, 0, 0, 0);
  } else {
    // Going on after a pause: only while the view still holds what the answer began with.
    int count = 0;
    if (facts.generation != cache->generation || facts.resumeRecords > cache->count ||
        FAILED(target.folderView->ItemCount(SVGIO_ALLVIEW, &count)) || static_cast<std::uint32_t>(count) != cache->count) {
      writer.Finish(Status::Failed);
      return;
    }
    writer.SetShellFacts(cache->generation, cache->flags);
    writer.Resume(cache->count, cache->selectedCount, cache->firstSelected);
  }

  char text[viewread::kTextBufferBytes];
  for (std::uint32_t at = facts.resumeRecords; at < cache->count && !writer.Stopped(); ++at) {
    CachedItem& item = cache->items[at];
    if (item.block && item.nameKnown == 0) {
      if (at > facts.resumeRecords && budget.Over()) {
        writer.PauseHere();
        return;
      }
      std::uint32_t length = 0;
      writer.CountNameRead();
      if (DisplayName(folder.Get(), item, target.functions, text, length)) {
        if (!SetItemName(*cache, at, text, static_cast<std::uint16_t>(length))) {
          writer.Finish(Status::Failed);
          return;
        }
      } else {
        item.nameKnown = kNameMissing;
      }
    }
    const bool hasText = item.block && item.nameKnown == kNameRead;
    writer.Add(at, item.state, hasText, hasText ? reinterpret_cast<const char*>(item.block + item.idBytes) : nullptr,
               hasText ? item.nameBytes : 0);
    if (writer.Overflowed()) {
      // The rest would need at most this much more.
      writer.CountMore(static_cast<std::uint64_t>(cache->count - at - 1) *
                       (sizeof(viewread::RecordHead) + viewread::kNameMax));
      break;
    }
  }
  writer.Finish(cache->count);
}

void ServeShellChange(HWND window, const void* mapping, const RequestFacts& facts, AnswerWriter& writer) {
  ShellTarget target;
  Status failure = Status::Failed;
  if (!Open(window, target, failure)) {
    writer.Finish(failure);
    return;
  }
  viewread::ChangeHead head;
  ViewCache* cache = AcquireCache(target.shell.defView);
  CacheHold hold(cache);
  if (!cache || cache->generation != facts.generation || !viewread::ReadChange(mapping, facts, head)) {
    writer.Finish(Status::Failed);
    return;
  }
  if (head.folderFlagsMask != 0) {
    ComRef<IFolderView2> folderView2;
    if (FAILED(target.folderView->QueryInterface(IID_IFolderView2, folderView2.PutVoid())) || !folderView2 ||
        FAILED(folderView2->SetCurrentFolderFlags(head.folderFlagsMask, head.folderFlags))) {
      writer.Finish(Status::Failed);
      return;
    }
  }
  std::int64_t focused = -1;
  for (std::uint32_t i = 0; i < head.count; ++i) {
    const viewread::ChangeOperation operation = viewread::OperationAt(mapping, i);
    if (operation.position >= cache->count || !cache->items[operation.position].block) continue;
    SelectOne(target, cache->items[operation.position], operation.flags);
    if (operation.flags & viewread::kSelectFocused) focused = operation.position;
  }
  // Where the shell tells the focused item's place, in the requesting window's client
  // coordinates; Kanasift places its tooltip there (else at the window's corner).
  POINT corner = {0, 0};
  POINT spacing = {0, 0};
  bool haveRect = focused >= 0 &&
                  SUCCEEDED(target.folderView->GetItemPosition(
                      reinterpret_cast<PCUITEMID_CHILD>(cache->items[focused].block), &corner)) &&
                  SUCCEEDED(target.folderView->GetSpacing(&spacing));
  if (haveRect) MapWindowPoints(target.shell.defView, window, &corner, 1);
  writer.FinishChange(haveRect, corner.x, corner.y, corner.x + spacing.x, corner.y + spacing.y);
}

}  // namespace tapline
