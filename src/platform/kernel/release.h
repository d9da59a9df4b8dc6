// Letting go of large things away from the thread that drops them.
//
// A run that ends, or a report that is taken away, may leave gigabytes to give back: millions of
// heap blocks, or a file whose blocks the file system must free when it is closed. Giving them
// back takes seconds that nobody needs to wait for. They are handed to the release thread, which
// lets go of them in the order given, while the thread that handed them over goes on at once.
// The release thread starts when there is something to release and ends when nothing is left.
//
// Nothing is lost: a job that cannot be handed over (no memory for it, or no thread can be
// started) runs on the caller's thread, as it would have done without the release thread, and
// WaitForReleases waits until everything handed over is done (the program does before it ends).
#pragma once

#include <memory>
#include <new>
#include <utility>

namespace qav {

// One thing to let go of.
class CReleaseJob {
 public:
  virtual ~CReleaseJob() = default;
  // Lets go of it; the job is deleted afterwards.
  virtual void Run() noexcept = 0;

 private:
  friend class CReleaseQueue;
  CReleaseJob* m_next = nullptr;
};

// Runs the job on the release thread (or here, when it cannot go there) and deletes it. Null is
// harmless.
void ReleaseLater(CReleaseJob* job) noexcept;

// Destroys `object` on the release thread (or here, when it cannot go there).
template <class T>
void ReleaseLater(std::unique_ptr<T> object) noexcept {
  class CDelete : public CReleaseJob {
   public:
    explicit CDelete(std::unique_ptr<T>& object) : m_object(std::move(object)) {}
    void Run() noexcept override { m_object.reset(); }

   private:
    std::unique_ptr<T> m_object;
  };
  if (!object) return;
  // The object stays with the caller when there is no memory for the job: it goes here, then.
  ReleaseLater(new (std::nothrow) CDelete(object));
}

// Empties `items` (a standard container, or one with a swap of its own): what it held is destroyed
// on the release thread (or here, when it cannot go there).
template <class C>
void ReleaseContentsLater(C& items) noexcept {
  std::unique_ptr<C> held(new (std::nothrow) C);
  if (held) held->swap(items);
  else C().swap(items);
  ReleaseLater(std::move(held));
}

// Gives the heap's free memory back to the system on the release thread, once the jobs handed
// over before are done (or here, when the release thread cannot run it).
void TrimHeapLater() noexcept;

// Waits until every job handed over so far has run.
void WaitForReleases() noexcept;

}  // namespace qav
