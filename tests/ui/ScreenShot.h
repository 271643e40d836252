// Screenshots of the whole X display (the Wine virtual desktop sits at its top-left
// corner, so screen coordinates are the picture's coordinates), taken with ImageMagick's
// `import` from inside the Windows test. Each shot is kept as a PNG for people to look at.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ScreenShot {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;  // 3 bytes per pixel, rows top down
  std::string pngPath;            // the Unix path of the kept picture

  bool valid() const { return width > 0 && height > 0; }
  // The pixel as a Windows COLORREF (0x00BBGGRR); 0xFFFFFFFF outside the picture.
  std::uint32_t Pixel(int x, int y) const;
};

// Takes a shot named `name` (file <shots folder>/<name>.png) while pumping the thread's
// messages; an invalid shot when it failed.
ScreenShot TakeScreenShot(const std::string& name);

// The Unix folder where shots are kept.
std::string ShotFolder();
