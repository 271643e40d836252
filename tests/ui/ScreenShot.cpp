#include "ScreenShot.h"

#include "UiTestSupport.h"

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <iterator>

namespace {

// A Unix path as Wine sees it (drive Z: is the Unix root).
std::string DosPath(const std::string& unixPath) {
  std::string path = "Z:" + unixPath;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

bool ReadPpm(const std::string& path, ScreenShot& shot) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int maxValue = 0;
  in >> magic >> shot.width >> shot.height >> maxValue;
  in.get();  // the single white-space byte before the pixels
  if (!in || magic != "P6" || maxValue != 255) return false;
  shot.rgb.resize(static_cast<size_t>(shot.width) * shot.height * 3);
  in.read(reinterpret_cast<char*>(shot.rgb.data()), static_cast<std::streamsize>(shot.rgb.size()));
  return static_cast<size_t>(in.gcount()) == shot.rgb.size();
}

}  // namespace

std::uint32_t ScreenShot::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return 0xFFFFFFFF;
  const std::uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
  return RGB(p[0], p[1], p[2]);
}

std::string ShotFolder() { return KS_UI_SHOT_DIR; }

ScreenShot TakeScreenShot(const std::string& name) {
  ScreenShot shot;
  const std::string base = ShotFolder() + "/" + name;
  const std::string done = base + ".done";
  DeleteFileA(DosPath(done).c_str());
  // A Unix program started from Windows gives no handle to wait on: it announces the
  // end of its work with a marker file.
  std::string command = "/bin/sh -c \"mkdir -p '" + ShotFolder() + "' && import -window root -depth 8 'ppm:" +
                        base + ".ppm' && convert '" + base + ".ppm' '" + base + ".png' && touch '" +
                        done + "'\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return shot;
  }
  if (process.hProcess) CloseHandle(process.hProcess);
  if (process.hThread) CloseHandle(process.hThread);
  const DWORD start = GetTickCount();
  while (GetFileAttributesA(DosPath(done).c_str()) == INVALID_FILE_ATTRIBUTES) {
    if (GetTickCount() - start > 20000) return shot;
    PumpMessages(20);
  }
  if (!ReadPpm(DosPath(base + ".ppm"), shot)) shot = ScreenShot{};
  DeleteFileA(DosPath(base + ".ppm").c_str());
  DeleteFileA(DosPath(done).c_str());
  shot.pngPath = base + ".png";
  return shot;
}
