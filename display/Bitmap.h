#pragma once
// One off-screen picture of the main window: an RGB32 image and the lock that
// keeps the drawing thread and the screen copy apart. Both sides take the lock
// with LockBitmap: try, and while another side holds it, sleep 10 ms and try
// again. The drawing thread never holds it across a hand-off to the
// user-interface thread, so the screen copy gets it after a few retries at most.
#include <QImage>
#include <chrono>
#include <mutex>
#include <thread>

namespace qs {

struct Bitmap {
  // A new bitmap is white, as the SQI frame expects: it draws its navy and
  // black texts over whatever the bitmap holds.
  Bitmap(int width, int height) : image(width, height, QImage::Format_RGB32) { image.fill(0xFFFFFFFFu); }
  QImage image;
  std::mutex lock;
};

inline void LockBitmap(Bitmap& bitmap) {
  while (!bitmap.lock.try_lock()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

// LockBitmap for a scope.
class BitmapHold {
 public:
  explicit BitmapHold(Bitmap& bitmap) : bitmap_(bitmap) { LockBitmap(bitmap_); }
  ~BitmapHold() { bitmap_.lock.unlock(); }
  BitmapHold(const BitmapHold&) = delete;
  BitmapHold& operator=(const BitmapHold&) = delete;

 private:
  Bitmap& bitmap_;
};

}  // namespace qs
