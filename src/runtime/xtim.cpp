#include "runtime/xtim.h"

#include <time.h>

#include <atomic>
#include <cmath>
#include <iomanip>

#include "runtime/colr.h"
#include "runtime/globals.h"
#include "runtime/mnw.h"
#include "runtime/ui_calls.h"

namespace {

constexpr float kTriggerPeriod[9] = {10.0f, 5.0f, 2.0f, 1.0f, 0.5f, 0.2f, 0.1f, 0.05f, 0.025f};
constexpr float kMinPeriod = 0.0010000999f;
constexpr float kMaxPeriod = 0.05263158f;

// A monotonic clock, so that a change of the wall clock neither stalls nor
// fires the time-outs and rates that are built on it.
uint64_t now_us() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000000u + static_cast<uint64_t>(ts.tv_nsec) / 1000u;
}

uint64_t clock_origin() {
  static const uint64_t origin = now_us();
  return origin;
}

uint64_t shared_stamp = 0;

std::atomic<xtim_class::clock_function> clock_hook{nullptr};

// One step of a period estimate: every tenth pass compares the mean period of
// the last ten passes with the estimate and moves the estimate by at most the
// fourth root of the clamped ratio.
void update_estimate(int& counter, float& last_time, float& estimate, float& ratio_out, float t) {
  int c = counter++;
  if (c % 10 == 0) {
    float ratio = 0.1f * (t - last_time) / estimate;
    if (ratio < 0.5f) ratio = 0.5f;
    if (ratio > 1.5f) ratio = 1.5f;
    ratio_out = ratio;
    estimate *= std::pow(ratio, 0.25f);
    if (estimate < kMinPeriod) estimate = kMinPeriod;
    if (estimate > kMaxPeriod) estimate = kMaxPeriod;
    last_time = t;
  }
}

}  // namespace

xtim_class xtim;
qtim_class qtim;

xtim_class::xtim_class() = default;

uint64_t xtim_class::microsecs() {
  if (const clock_function fn = clock_hook.load()) return fn();
  uint64_t origin = clock_origin();
  return now_us() - origin;
}

void xtim_class::set_clock(clock_function fn) { clock_hook = fn; }

uint32_t xtim_class::del_time(uint64_t* stamp) {
  if (!stamp) stamp = &shared_stamp;
  uint64_t d = microsecs();
  uint32_t r = static_cast<uint32_t>(d - *stamp);
  *stamp = d;
  return r;
}

void xtim_class::xtim_update() {
  if (!started_) {
    started_ = true;
    start_time_ = static_cast<float>(static_cast<double>(microsecs()) * 1e-6);
  }
  const float t = static_cast<float>(static_cast<double>(microsecs()) * 1e-6) - start_time_;
  elapsed = t;

  // Frame period. The modal boxes only re-base the measurement, so time spent
  // in an alert never counts as one long frame.
  const int w = mnw.cur_wind;
  if (w == 0 || mnw.sec_mon_inuse) {
    update_estimate(cntr_FM_, last_time_FM_, prd_win_0_, period_ratio, t);
    frame_period[0] = frame_period[1] = frame_period[2] = prd_win_0_;
    last_time_UI_ = t;
  } else if (w >= 994 && w <= 999) {
    last_time_FM_ = t;
    last_time_UI_ = t;
  } else {
    last_time_FM_ = t;
    update_estimate(cntr_UI_, last_time_UI_, prd_win_n_, period_ratio, t);
    frame_period[0] = frame_period[1] = frame_period[2] = prd_win_n_;
  }

  // Trigger flags: each fires on the pass in which its period has passed.
  for (int i = 0; i < 9; ++i) {
    sim_ot[i] = 0;
    if (std::fabs(sim_time - sim_last_[i]) > kTriggerPeriod[i]) {
      sim_ot[i] = 1;
      sim_last_[i] = sim_time;
    }
    act_ot[i] = 0;
    if (std::fabs(elapsed - act_last_[i]) > kTriggerPeriod[i]) {
      act_ot[i] = 1;
      act_last_[i] = elapsed;
    }
  }

  // Mouse timing.
  const float last_click = mnw.last_click_time;
  mnw.held = (mnw.down && last_click + kDoubleClickSeconds < t) ? 1 : 0;
  mnw.double_click = (mnw.click && t < last_click + kDoubleClickSeconds) ? 1 : 0;
  mnw.quick_click = (mnw.release && t < last_click + kDoubleClickSeconds) ? 1 : 0;
  if (mnw.click) {
    mnw.last_move_time = t;
    mnw.down = 1;
    mnw.last_click_time = t;
    BTN_unfocus_any();
  }
  if (mnw.release) {
    mnw.down = 0;
    mnw.held = 0;
  }
  if (std::fabs(mnw.mouse_x - mx_) > 0.5f || std::fabs(mnw.mouse_y - my_) > 0.5f) mnw.last_move_time = t;
  mx_ = mnw.mouse_x;
  my_ = mnw.mouse_y;

  // Pulsing highlight colours.
  const float a = 0.3f * std::sin(kPulseRate * t) + 0.7f;
  colr.assign(79, a, a, a);
  colr.assign(80, a, 0.5f * a, 0.0f);
  colr.assign(81, a, 0.3f * a, 0.3f * a);
  colr.assign(82, 0.3f * a, 0.3f * a, a);
  colr.assign(83, 0.2f * a, 0.8f * a, 0.2f * a);
  colr.assign(84, 0.7f * a, 0.7f * a, 0.2f * a);
  colr.blink = a;
}

void xtim_class::profile_chart(std::string label, int total) {
  if (!mnw.profiling) return;
  xer << label << "=" << std::setw(6) << std::fixed << std::setprecision(0)
      << static_cast<double>(del_time(nullptr)) * 0.1 << " | ";
  if (total) {
    double now = static_cast<double>(microsecs()) * 1e-6;
    if (last_total_ < 0.0) last_total_ = now;
    xer << "   total: " << std::setw(5) << std::setprecision(3) << (now - last_total_)
        << " sec for topwi=" << mnw.cur_wind << "\n";
    last_total_ = now;
  }
}

void xtim_class::current_month_day(int* month, int* day) {
  static const int kMonthLength[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const float d = day_of_year;
  if (d < 31.0f) {
    *month = 0;
    *day = static_cast<int>(d + 1.0f);
    return;
  }
  int end_before = 0;
  for (int m = 0; m < 12; ++m) {
    int end = end_before + kMonthLength[m];
    if (static_cast<float>(end) > d) {
      *month = m;
      *day = static_cast<int>(d - static_cast<float>(end_before) + 1.0f);
      return;
    }
    end_before = end;
  }
  // Past the end of the year: the last day of December.
  *month = 11;
  *day = 31;
}

void xtim_class::xtim_hrs_min_sec(float s, float* hours, float* minutes, float* seconds) {
  const int h = static_cast<int>(s / 3600.0f);
  const int m = static_cast<int>(s / 60.0f) - h * 60;
  const int sec = static_cast<int>(s) - 3600 * h - m * 60;
  *hours = static_cast<float>(h);
  *minutes = static_cast<float>(m);
  *seconds = static_cast<float>(sec);
}
