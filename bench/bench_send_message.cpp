// Cross-thread SendMessageA: the round trip from the call to its return, with
// the window's thread asleep in GetMessageA, against two threads handing a
// token back and forth over eventfds (the wake-up the layer is built on).
// Goal: the round trip within 3 times the hand-over's, at the median and the
// 99th percentile; a wait that slept on a polling interval would miss it by far.
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <thread>

#include "bench/latency.h"
#include "korvex/platform.h"

namespace {

constexpr int kRounds = 2000;
Percentiles g_send, g_handover;

LRESULT CALLBACK Answer(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER) return LRESULT(wParam + 1);
  if (message == WM_CLOSE) {
    DestroyWindow(window);
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

struct Receiver {
  HWND window = nullptr;
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
};

DWORD WINAPI RunReceiver(LPVOID parameter) {
  auto* receiver = static_cast<Receiver*>(parameter);
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = Answer;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "korvex-bench-send";
  RegisterClassA(&windowClass);
  receiver->window = CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, nullptr, nullptr,
                                     windowClass.hInstance, nullptr);
  SetEvent(receiver->ready);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  return 0;
}

void Signal(int fd) {
  uint64_t one = 1;
  if (write(fd, &one, sizeof one) != sizeof one) std::abort();
}

bool Await(int fd) {
  pollfd ready{fd, POLLIN, 0};
  uint64_t count;
  return poll(&ready, 1, 5000) == 1 && read(fd, &count, sizeof count) == sizeof count;
}

// One of each in turn, so that a load that comes and goes on the machine weighs
// on both alike.
void SendAcrossThreads(benchmark::State& state) {
  Receiver receiver;
  HANDLE thread = CreateThread(nullptr, 0, RunReceiver, &receiver, 0, nullptr);
  WaitForSingleObject(receiver.ready, INFINITE);
  int there = eventfd(0, EFD_NONBLOCK), back = eventfd(0, EFD_NONBLOCK);
  std::thread other([&] {
    for (int i = 0; i < kRounds && Await(there); ++i) Signal(back);
  });
  std::vector<int64_t> sends, handovers;
  for (auto _ : state) {
    for (int i = 0; i < kRounds; ++i) {
      int64_t start = NowNs();
      if (SendMessageA(receiver.window, WM_USER, WPARAM(i), 0) != LRESULT(i + 1)) break;
      int64_t sent = NowNs();
      Signal(there);
      if (!Await(back)) break;
      handovers.push_back(NowNs() - sent);
      sends.push_back(sent - start);
    }
  }
  other.join();
  close(there);
  close(back);
  SendMessageA(receiver.window, WM_CLOSE, 0, 0);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  CloseHandle(receiver.ready);
  g_send = Summarize(sends);
  g_handover = Summarize(handovers);
  SetCounters(state, "send_", g_send);
  SetCounters(state, "handover_", g_handover);
}
BENCHMARK(SendAcrossThreads)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return WithinGoal("SendMessageA across threads", g_send, "eventfd hand-over", g_handover, 3) ? 0 : 1;
}
