// A preloaded allocator that makes one allocation of a program fail, as a
// heap that has run out would: LD_PRELOAD=libfail_allocation.so.
//
//   FAIL_ALLOCATION=N          the Nth allocation counted fails (1 is the
//                              first); unset or 0, none does
//   FAIL_ALLOCATION_ONWARD=1   every allocation from the Nth on fails too
//   FAIL_ALLOCATION_REPORT=F   file that receives "failed <call> <bytes>" for
//                              the first refusal and "counted <n>" at exit
//
// Counting starts when the program's main is entered: the shim wraps main
// through __libc_start_main, which the program's start code calls once the
// dynamic loader, libc and every constructor (the C++ runtime's own heap
// use included) are done. Those earlier allocations never fail and are not
// counted, so N means the same allocation from one run to the next whatever
// the loader and the environment did before. The program is single-threaded;
// the counter is atomic all the same.
//
// operator new of the C++ runtime calls malloc, so it is covered; the real
// functions are found with dlsym(RTLD_NEXT). dlsym may allocate before they
// are known: such calls get bytes from a small static area.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace {

using MallocFn = void* (*)(std::size_t);
using CallocFn = void* (*)(std::size_t, std::size_t);
using ReallocFn = void* (*)(void*, std::size_t);
using FreeFn = void (*)(void*);
using PosixMemalignFn = int (*)(void**, std::size_t, std::size_t);
using AlignedAllocFn = void* (*)(std::size_t, std::size_t);
using MainFn = int (*)(int, char**, char**);
using StartMainFn = int (*)(MainFn, int, char**, void (*)(), void (*)(), void (*)(), void*);

MallocFn real_malloc;
CallocFn real_calloc;
ReallocFn real_realloc;
FreeFn real_free;
PosixMemalignFn real_posix_memalign;
AlignedAllocFn real_aligned_alloc;
MainFn real_main;

std::atomic<bool> counting{false};
std::atomic<unsigned long> counted{0};
unsigned long failing = 0;  // 0: none
bool onward = false;
int report_fd = -1;
std::atomic<bool> reported_failure{false};

// The area for allocations made while dlsym runs; never given back.
alignas(std::max_align_t) char bootstrap[16384];
std::size_t bootstrap_used = 0;
bool resolving = false;

bool in_bootstrap(const void* area) {
  const char* p = static_cast<const char*>(area);
  return p >= bootstrap && p < bootstrap + sizeof bootstrap;
}

void* bootstrap_allocate(std::size_t bytes) {
  constexpr std::size_t align = alignof(std::max_align_t);
  const std::size_t rounded = (bytes + align - 1) / align * align;
  if (rounded > sizeof bootstrap - bootstrap_used) return nullptr;
  void* area = bootstrap + bootstrap_used;
  bootstrap_used += rounded;
  return area;
}

template <typename Fn>
Fn next(const char* name) {
  return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

void resolve() {
  if (real_malloc || resolving) return;
  resolving = true;
  real_calloc = next<CallocFn>("calloc");
  real_realloc = next<ReallocFn>("realloc");
  real_free = next<FreeFn>("free");
  real_posix_memalign = next<PosixMemalignFn>("posix_memalign");
  real_aligned_alloc = next<AlignedAllocFn>("aligned_alloc");
  real_malloc = next<MallocFn>("malloc");  // last: its presence means all are known
  resolving = false;
}

// Writes a line of words and one number, without touching the heap.
void report(const char* words, unsigned long number) {
  if (report_fd < 0) return;
  char line[64];
  std::size_t n = 0;
  for (const char* w = words; *w && n < 40; ++w) line[n++] = *w;
  line[n++] = ' ';
  char digits[24];
  std::size_t d = 0;
  do {
    digits[d++] = static_cast<char>('0' + number % 10);
    number /= 10;
  } while (number != 0);
  while (d > 0) line[n++] = digits[--d];
  line[n++] = '\n';
  [[maybe_unused]] const ssize_t written = ::write(report_fd, line, n);
}

// Counts one allocation; true when it is to fail.
bool refuse(const char* call, std::size_t bytes) {
  if (!counting.load(std::memory_order_relaxed)) return false;
  const unsigned long number = counted.fetch_add(1, std::memory_order_relaxed) + 1;
  if (failing == 0 || number < failing || (number > failing && !onward)) return false;
  if (!reported_failure.exchange(true)) {
    char words[40] = "failed ";
    std::strncat(words, call, sizeof words - std::strlen(words) - 1);
    report(words, bytes);
  }
  return true;
}

unsigned long read_number(const char* text) {
  unsigned long value = 0;
  for (; text && *text >= '0' && *text <= '9'; ++text) value = value * 10 + static_cast<unsigned long>(*text - '0');
  return value;
}

int counted_main(int argc, char** argv, char** envp) {
  failing = read_number(std::getenv("FAIL_ALLOCATION"));
  const char* onward_text = std::getenv("FAIL_ALLOCATION_ONWARD");
  onward = onward_text && std::strcmp(onward_text, "1") == 0;
  if (const char* path = std::getenv("FAIL_ALLOCATION_REPORT"))
    report_fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  counting.store(true);
  return real_main(argc, argv, envp);
}

// At exit (after main returned or exit() ran), how many were counted.
[[gnu::destructor]] void report_count() { report("counted", counted.load()); }

}  // namespace

extern "C" {

int __libc_start_main(MainFn main, int argc, char** argv, void (*init)(), void (*fini)(), void (*rtld_fini)(),
                      void* stack_end) {
  real_main = main;
  const auto start = next<StartMainFn>("__libc_start_main");
  return start(counted_main, argc, argv, init, fini, rtld_fini, stack_end);
}

void* malloc(std::size_t bytes) {
  resolve();
  if (!real_malloc) return bootstrap_allocate(bytes);
  if (refuse("malloc", bytes)) {
    errno = ENOMEM;
    return nullptr;
  }
  return real_malloc(bytes);
}

void* calloc(std::size_t count, std::size_t size) {
  resolve();
  if (!real_malloc) {
    // The static area is zero and never reused.
    if (size != 0 && count > static_cast<std::size_t>(-1) / size) return nullptr;
    return bootstrap_allocate(count * size);
  }
  if (refuse("calloc", count * size)) {
    errno = ENOMEM;
    return nullptr;
  }
  return real_calloc(count, size);
}

void* realloc(void* area, std::size_t bytes) {
  resolve();
  if (in_bootstrap(area) || !real_malloc) {
    // Seldom: dlsym's own memory. Moved to the real heap (or a fresh piece
    // of the area), copying what the old block can hold at most.
    void* moved = real_malloc ? real_malloc(bytes) : bootstrap_allocate(bytes);
    if (moved && area) {
      const std::size_t left = static_cast<std::size_t>(bootstrap + sizeof bootstrap - static_cast<char*>(area));
      std::memcpy(moved, area, bytes < left ? bytes : left);
    }
    return moved;
  }
  if (refuse("realloc", bytes)) {
    errno = ENOMEM;
    return nullptr;
  }
  return real_realloc(area, bytes);
}

void free(void* area) {
  if (!area || in_bootstrap(area)) return;
  resolve();
  if (real_free) real_free(area);
}

int posix_memalign(void** area, std::size_t alignment, std::size_t bytes) {
  resolve();
  if (refuse("posix_memalign", bytes)) return ENOMEM;
  return real_posix_memalign(area, alignment, bytes);
}

void* aligned_alloc(std::size_t alignment, std::size_t bytes) {
  resolve();
  if (refuse("aligned_alloc", bytes)) {
    errno = ENOMEM;
    return nullptr;
  }
  return real_aligned_alloc(alignment, bytes);
}

}  // extern "C"
