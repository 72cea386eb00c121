// The frame timer: wall clock, smoothed frame period, periodic trigger flags,
// click timing and the pulsing highlight colours, advanced once per pass of
// the event loop.
#pragma once

#include <cstdint>
#include <string>

// The pulse of the highlight colours and the blink value: sin(kPulseRate * t).
constexpr float kPulseRate = 20.0f;
constexpr double kPulsePeriodSeconds = 2.0 * 3.14159265358979323846 / kPulseRate;

// A click this soon after the last one makes a double click; a release this
// soon after its click a quick click; a button held longer is held.
constexpr float kDoubleClickSeconds = 0.25f;

class xtim_class {
 public:
  xtim_class();

  int frame_mark = 1;               // cleared by the event loop after each wizard update
  float frame_period[3] = {0.02f, 0.02f, 0.0f};  // current frame-period estimate, seconds
  float period_ratio = 1.0f;        // last measured/estimated ratio, clamped to 0.5..1.5
  int frame_count = 0;              // buffer swaps so far
  float elapsed = 0.0f;             // seconds since the first update
  float sim_time = 0.0f;            // simulated time; nothing advances it here
  float day_of_year = 90.0f;        // 0 = 1 January
  int sim_ot[9] = {};               // trigger flags on sim_time
  int act_ot[9] = {};               // trigger flags on elapsed

  // Advances the clock; once per pass of the event loop.
  void xtim_update();

  // Microseconds since the clock's first use.
  static uint64_t microsecs();

  // Makes fn the clock that microsecs() reads (microseconds), or the
  // system's monotonic clock again when fn is null: tests drive the timer
  // with a clock of their own instead of sleeping.
  using clock_function = uint64_t (*)();
  static void set_clock(clock_function fn);
  // Microseconds from *stamp to now (low 32 bits); stores now into *stamp,
  // or into a shared stamp when null.
  static uint32_t del_time(uint64_t* stamp);

  // Logs phase times when profiling is switched on.
  void profile_chart(std::string label, int total);

  // Month 0..11 and day of month from 1 for day_of_year.
  void current_month_day(int* month, int* day);

  static void xtim_hrs_min_sec(float s, float* hours, float* minutes, float* seconds);

 private:
  // Statics of the update, kept per object so tests can use fresh timers.
  bool started_ = false;
  float start_time_ = 0.0f;
  int cntr_FM_ = 0, cntr_UI_ = 0;
  float last_time_FM_ = 0.0f, last_time_UI_ = 0.0f;
  float prd_win_0_ = 0.02f, prd_win_n_ = 0.02f;
  float mx_ = 999.0f, my_ = 999.0f;
  float sim_last_[9] = {};
  float act_last_[9] = {};
  double last_total_ = -1.0;
};

extern xtim_class xtim;

// Movie recording has no implementation on this platform.
class qtim_class {
 public:
  void stop_thread() {}
  void mov_add_frame() {}
  void mov_toggle(int) {}
  int mov_per_frame() { return 0; }
  void draw_record_lgt() {}
  // The movie window (sub-window 1): its background and a panel saying that
  // movies are not recorded on this platform. Nothing opens it.
  void qtim_wind();
};

extern qtim_class qtim;
