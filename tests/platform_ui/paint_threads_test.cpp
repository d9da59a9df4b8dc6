// Once the painting threads are started, painting never starts another thread: wide fills, lines
// and smooth scaling, which Qt splits over its thread pool, and a pool kept busy to its width all
// run on the threads that are there.
#include <gtest/gtest.h>

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QThreadPool>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/ui/backend.h"

namespace {

size_t ThreadsOfThisProcess() {
  size_t n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/task")) ++n;
  return n;
}

TEST(PaintThreads, PaintingAfterTheStartStartsNoThread) {
  std::string why;
  ASSERT_TRUE(qav::ui::StartPaintThreads(&why)) << why;
  const size_t threads = ThreadsOfThisProcess();

  QImage image(3000, 600, QImage::Format_ARGB32_Premultiplied);
  {
    QPainter p(&image);
    QLinearGradient g(0, 0, 3000, 0);
    g.setColorAt(0, Qt::blue);
    g.setColorAt(1, Qt::white);
    for (int i = 0; i < 20; ++i) {
      p.fillRect(image.rect(), g);
      p.setPen(QPen(QColor(0, 120, 215, 128), 5));
      for (int y = 0; y < 600; y += 7) p.drawLine(0, y, 3000, y);
    }
  }
  for (int i = 0; i < 5; ++i) {
    const QImage scaled = image.scaled(1700 + i, 350, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    ASSERT_FALSE(scaled.isNull());
  }
  // Twice the pool's width of tasks, each held until all that can run at once have started.
  QThreadPool* pool = QThreadPool::globalInstance();
  const int width = pool->maxThreadCount();
  std::atomic<int> running{0}, done{0};
  for (int i = 0; i < 2 * width; ++i)
    pool->start([&] {
      ++running;
      const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
      while (running.load() < width && std::chrono::steady_clock::now() < until) std::this_thread::yield();
      ++done;
    });
  // Counted here, not with waitForDone, which would end the pool's threads.
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (done.load() < 2 * width && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_EQ(done.load(), 2 * width);
  EXPECT_EQ(ThreadsOfThisProcess(), threads);
}

}  // namespace
