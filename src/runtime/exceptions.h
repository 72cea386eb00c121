// Failure records passed from other threads to the main thread.
//
// Only the main thread shows alerts and ends the program. A failure on any
// other thread is packed into an exce_class record, copied onto one of the
// two failure queues of the thread layer (warnings, fatal failures) and shown
// by the main thread on its next pass through the event loop.
#pragma once

#include <string>

class exce_class {
 public:
  exce_class(std::string l1, std::string l2, std::string l3, std::string l4, const char* source_file,
             int source_line, int alert_kind);
  // Four empty lines, file "no exception", line 0, kind 2.
  exce_class();
  exce_class(const exce_class&) = default;
  exce_class& operator=(const exce_class&) = default;
  virtual ~exce_class() = default;

  // Makes the record fatal (kind 2).
  void MakeFatal() { kind = 2; }
  // Writes the record to the log and goes on.
  void LogAndContinue() const;
  // Shows the record: as an alert on the main thread (or before the thread
  // layer is started); on another thread it logs it and ends the program.
  void Report() const;

  std::string line1, line2, line3, line4;  // the alert's four lines
  const char* file;  // source file of the raiser; text of static storage
  int line;          // source line of the raiser
  int kind;          // 1 warning (the program goes on), 2 fatal (the program ends); 0 is never passed on
};

// Writes head, the four lines of an alert (each followed by a line break)
// and tail to the log as one piece, so that lines of other threads cannot
// come between them, then flushes the log. Alerts and failure records reach
// the log through this.
void log_alert_lines(const std::string& head, const std::string& line1, const std::string& line2,
                     const std::string& line3, const std::string& line4, const std::string& tail);

// Queues a copy of the record for the main thread by its kind: a warning
// goes on, a fatal record ends the calling thread unless it is the main
// thread; a record of any other kind is dropped. Before the thread layer is
// started the record is reported at once instead.
void THREAD_send_exception(const exce_class& record);

// On the main thread: shows and deletes the queued fatal records (the first
// ends the program) and, when all is non-zero, the queued warnings, each
// queue oldest first. Does nothing on other threads or while the thread
// layer is not started.
void THREAD_check_exception(int all);
