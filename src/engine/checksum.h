// The checksum scan: the MD5 signature of the installed file of every wanted
// file of the file table, computed on a pool of worker threads while the
// wizard keeps drawing frames.
#pragma once

#include <string>

#include "runtime/worker_pool.h"

// Checks a run of consecutive files of the table: for the current version of
// each file that passes the install filter, sig_have becomes the installed
// file's signature ("NONE" when it is absent or unreadable) and is_current
// whether that equals sig_want. Versions the filter refuses keep their
// signatures. Every version of the run loses the found path of an earlier
// scan.
class checksum_task : public UTL_work_task {
 public:
  // The run is first_file up to end_file - 1.
  checksum_task(int first, int end) : first_file(first), end_file(end) {}

  void do_it() override;
  // Never an error: empties the message and returns 0.
  int check_error(std::string& message) override;

  int first_file;
  int end_file;
};

// One past the last file of the task that starts at file first: at least
// ten files (fewer only at the end of the table), then more small ones while
// the task's work, by the unpacked sizes of the table plus a cost for each
// file opened, stays within a few MiB and, with share above 0, the task
// takes no more than the files left over share. first itself when
// first >= total.
int checksum_batch_end(int first, int total, int share = 0);

// The scan's pool; null while no scan runs.
extern UTL_worker_threads* checksum_workers;

// One step of the scan, called once per frame: collects the finished tasks,
// then hands out runs of files (checksum_batch_end) while fewer than four
// tasks per processor are in flight. queued counts the files handed to tasks
// so far (the caller sets it to 0 before the first call);
// fraction becomes queued / number of files. Returns 1 when the scan is
// complete or the install folder is missing, else 0. Never waits for a
// checksum, except when the install folder has gone during a scan: the tasks
// in flight are then collected first.
int checksum_directory(int& queued, float& fraction);

// Run by the scan when it completes, when one of its tasks found a kept or
// new file by repairing its letter case: a file that the release removes (its
// current version "GONE") is not counted as on disk where the scan found
// the file that a kept or new file of the table found by repairing its
// letter case, as when a release renames a file only in letter case. So the
// removal never deletes the file that another entry counts as its own.
// Costs a pass over the table, with a string for each removed file found.
void settle_shared_files();

// Stops a running scan: the tasks in flight give up their files at once
// (the entries of the files they had not finished are left "NONE" or as
// they were); waits for them, deletes them and the pool. Nothing when no
// scan runs.
void checksum_directory_kill();
