// Pacing of the record ticks between the multimedia-timer thread and the GUI
// thread. The timer callback never captures: it posts one tick message when
// none is queued or being handled, and otherwise counts an owed tick (the
// busy tick later writes one more frame in time for it), so a slow tick
// never loses time and the queue never fills. While the pictures run ahead
// of the sound it swallows some callbacks. Once stopped, the callback posts
// nothing and a tick message still queued does nothing.
//
// The callback side (onTimer) may run on any thread; everything else is
// called from the GUI thread only. The posting is injected, so the Win32
// side passes a PostMessage and tests pass a queue. Portable.
#pragma once

#include <atomic>
#include <functional>

class TickPacer {
public:
  // Posts one tick message to the GUI thread; false when it could not.
  using PostTick = std::function<bool()>;
  explicit TickPacer(PostTick post);

  // ---- callback side --------------------------------------------------------
  void onTimer();
  // A camera frame is ready (the camera's thread; a camera target has no
  // timer): asks for a tick when none is queued. Frames that arrive while a
  // tick is busy are not owed: the camera clock decides the frames in time.
  void onCameraFrame();

  // ---- GUI side -------------------------------------------------------------
  // A new recording (or a new file after a split): counters cleared, ticks
  // run at msPerFrame.
  void start(int msPerFrame);
  // The one-second timer of a scheduled recording that waits for its start
  // moment: every callback asks for a tick (still at most one queued), with
  // no owed ticks, drops or capture. start() leaves this mode.
  void startWaiting();
  bool waiting() const { return waiting_.load(); }
  // A split goes on into a new file: the counters start again, the timer and
  // any queued tick are kept.
  void resetCounters();
  void pause() { capturing_.store(false); }
  void resume() { capturing_.store(true); }
  bool capturing() const { return capturing_.load(); }
  // No more ticks: the callback posts nothing and beginTick refuses the
  // messages still queued. Counters keep their values for the stop's report.
  void stop();
  bool stopped() const { return !running_.load(); }

  // The tick handler's frame: beginTick first (false: a stale message after
  // the stop; do nothing), takeFrames when the picture is about to be written
  // (the frames in time it stands for: 1 plus the ticks owed since the last
  // take), endTick last. Ticks that fall after takeFrames stay owed to the
  // next tick rather than being lost.
  bool beginTick();
  int takeFrames();
  void endTick();
  // A tick sent synchronously while paused (single frame): it bypasses the
  // queue, so it neither needs nor clears the queued flag.
  bool beginSingleFrame();

  // Sound sync: frames the next take adds (the sound ran ahead), or ticks the
  // callback is to swallow (the pictures ran ahead; owed ticks are dropped).
  void addOwed(int frames);
  void setTicksToDrop(int ticks);
  void discardOwed() { owed_.store(0); }

  int msPerFrame() const { return msPerFrame_.load(); }
  int ticksToDrop() const { return toDrop_.load(); }
  int droppedTicks() const { return dropped_.load(); }
  int owedTicks() const { return owed_.load(); }
  // Tick messages posted and not yet begun (0 or 1).
  bool tickQueued() const { return queued_.load(); }

private:
  PostTick post_;
  std::atomic<bool> running_{false};
  std::atomic<bool> capturing_{false};
  std::atomic<bool> queued_{false};   // a tick message is in the queue or in hand
  std::atomic<bool> waiting_{false};
  bool singleTick_ = false;  // GUI thread only
  std::atomic<int> owed_{0};
  std::atomic<int> dropped_{0};
  std::atomic<int> toDrop_{0};
  std::atomic<int> msPerFrame_{1000};
  std::atomic<int> callbacks_{0};  // callbacks while ticks are being swallowed
};
