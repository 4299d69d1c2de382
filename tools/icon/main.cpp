// quellscope-icon DIR: draws the program's icon at the usual sizes of the
// desktop's icon theme, DIR/NxN/apps/quellscope.png (16 to 256 pixels). Run at
// build time for the install; it needs no display.
#include <QDir>
#include <QGuiApplication>
#include <cstdio>

#include "app/SplashArt.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: quellscope-icon DIR\n");
    return 2;
  }
  // The off-screen platform: painting only, no display.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    const QString folder = QStringLiteral("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[1])).arg(size);
    if (!QDir().mkpath(folder) || !qs::AppIcon(size).save(folder + QStringLiteral("/quellscope.png"))) {
      std::fprintf(stderr, "quellscope-icon: cannot write %s/quellscope.png\n", folder.toLocal8Bit().constData());
      return 1;
    }
  }
  return 0;
}
