// The rules behind the screens' texts: size texts, the disk-space verdict,
// the install screen's caption, time sentence and bar, placeholders filled
// safely, and when the program restarts from a copy.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "wizard/disk_space.h"
#include "wizard/entry.h"
#include "wizard/install_screen.h"
#include "wizard/screen_text.h"
#include "wizard/sub_wins.h"

TEST(SizeTexts, TheBoundariesOfEachUnit) {
  EXPECT_EQ(size_string(1024), "1024 KB");
  EXPECT_EQ(size_string(1025), "1 MB");
  EXPECT_EQ(size_string(1024000), "1000 MB");
  EXPECT_EQ(size_string(1024001), "1.0 GB");
  EXPECT_EQ(size_string(500e6f), "476.8 GB") << "a disk of 500 x 10^9 bytes";
  EXPECT_EQ(size_string(0), "0 KB");

  std::string s;
  set_size_str(1234.5f, &s);
  EXPECT_EQ(s, "1.2 Meg");
  set_size_str(2500000.0f, &s);
  EXPECT_EQ(s, "2.5 Gig");
  set_size_str(999990.0f, &s);
  EXPECT_EQ(s, "1000.0 Meg") << "below 1000 MB, rounded up in the tenths";
  set_size_str(0.0f, &s);
  EXPECT_EQ(s, "0.0 Meg");
}

TEST(DiskSpace, TheTextSaysEnoughAtEqualityWhileTheVerdictNeedsLess) {
  const std::string ok = "enough", short_text = "too little";
  EXPECT_EQ(disk_space_text(500e6f, 2048, 2048, ok, short_text),
            "Disk size: 476.8 GB\nFree disk space: 2 MB\nDisk space needed to install: 2 MB.\n\nenough");
  EXPECT_EQ(disk_space_text(500e6f, 2048, 2049, ok, short_text).substr(79), "too little");
}

TEST(InstallTexts, CaptionsByAction) {
  EXPECT_EQ(install_caption(0, "a.txt.zip", 0), "Deleting a.txt.zip because that file is no longer needed!");
  EXPECT_EQ(install_caption(1, "a.txt.zip", -0.01f),
            "Downloading and installing a.txt.zip, currently 0% done with that file.")
      << "an unknown length shows 0";
  EXPECT_EQ(install_caption(1, "a.txt.zip", 0.999f),
            "Downloading and installing a.txt.zip, currently 99% done with that file.");
  EXPECT_EQ(install_caption(2, "a.txt.zip", 0),
            "duplicate filename through file a.txt.zip, but not installing it because you already have this file.");
  EXPECT_EQ(install_caption(3, "a.txt.zip", 0),
            "Browsing through file a.txt.zip, but not installing it because you don't need this file.");
  EXPECT_EQ(install_caption(7, "a.txt.zip", 0), "");
}

TEST(InstallTexts, TimeLeftInSecondsMinutesAndHours) {
  const auto sentence = [](const std::string& n, const std::string& unit, int rate, int streams) {
    return "About " + n + unit + " left in the install, downloading at " + std::to_string(rate) +
           " kilobytes/second with " + std::to_string(streams) + " simultaneous download streams.";
  };
  // 100 KB arrived in 10 s: 10 KB/s.
  EXPECT_EQ(install_time_sentence(100, 100 + 1199, 10, 2), sentence("119", " seconds", 10, 2));
  EXPECT_EQ(install_time_sentence(100, 100 + 1200, 10, 2), sentence("2", " minutes", 10, 2));
  EXPECT_EQ(install_time_sentence(100, 100 + 71990, 10, 3), sentence("119", " minutes", 10, 3));
  EXPECT_EQ(install_time_sentence(100, 100 + 72000, 10, 4), sentence("2", " hours", 10, 4));
  EXPECT_EQ(install_time_sentence(500, 400, 10, 1), sentence("0", " seconds", 50, 1))
      << "more arrived than was to come";
  EXPECT_EQ(install_time_sentence(5, 5 + 595, 0.2, 2), sentence("119", " seconds", 5, 2))
      << "less than a second counts as one";
  // Nothing arrived yet: no rate, and no number of seconds.
  EXPECT_EQ(install_time_sentence(0, 1000, 30, 2), sentence(kTimeUnknown, " hours", 0, 2));
  EXPECT_EQ(install_time_sentence(0, 0, 30, 2), sentence(kTimeUnknown, " hours", 0, 2));
  // A rate so low that the time would not fit a number.
  EXPECT_EQ(install_time_sentence(1e-30, 1e30, 1, 2), sentence("2147483647", " hours", 0, 2));
}

TEST(InstallTexts, TheBarMovesTowardTheInstalledShareAndStaysInItsRange) {
  EXPECT_FLOAT_EQ(install_smooth(0.0f, 0.02f, 50, 100), 0.05f);
  EXPECT_FLOAT_EQ(install_smooth(0.5f, 0.02f, 100, 100), 0.55f);
  EXPECT_EQ(install_smooth(0.2f, 0.02f, 0, 0), 1.0f) << "nothing to install: full";
  EXPECT_EQ(install_smooth(0.2f, 0.02f, 10, 0), 1.0f);
  EXPECT_EQ(install_smooth(0.99f, 0.05f, 500, 100), 1.0f);
  EXPECT_EQ(install_smooth(0.0f, 0.02f, -500, 100), 0.0f);
}

TEST(InstallTexts, TheFailureTextNamesTheFile) {
  EXPECT_EQ(install_failure_text("/v9/a.zip"),
            "I can not download the file '/v9/a.zip'.\n\nYour internet connection may not be working, or the server "
            "could be undergoing maintainance or an upgrade right now.\n\nI am trying another server now to see if I "
            "can still get you a download...");
}

TEST(ScreenText, PlaceholdersTakePlainValuesInTurn) {
  EXPECT_EQ(fill_in("Scanning %d of %d files.", {"3", "40"}), "Scanning 3 of 40 files.");
  EXPECT_EQ(fill_in("%s, 100%%", {"done"}), "done, 100%");
  // A translation with other or surplus directives reads nothing it was
  // not given.
  EXPECT_EQ(fill_in("%n %x %s %s %d", {"a"}), "%n %x a  ");
  EXPECT_EQ(fill_in("ends in %", {}), "ends in %");
  EXPECT_EQ(int_text(-0.999), "0");
  EXPECT_EQ(int_text(1e12), "2147483647");
  EXPECT_EQ(int_text(std::numeric_limits<double>::quiet_NaN()), "0");
}

TEST(Relaunch, OnlyFromInsideTheDiscAndNeverFromTheTemporaryFolder) {
  EXPECT_TRUE(relaunch_wanted("/media/disc/", "/media/disc/corvane_installer", "/tmp/"));
  EXPECT_TRUE(relaunch_wanted("/media/disc/", "/media/disc/linux/corvane_installer", "/tmp/"));
  EXPECT_FALSE(relaunch_wanted("", "/media/disc/corvane_installer", "/tmp/")) << "no disc";
  EXPECT_FALSE(relaunch_wanted("/media/disc/", "/home/u/corvane_installer", "/tmp/"));
  EXPECT_FALSE(relaunch_wanted("/media/disc/", "/media/disc2/corvane_installer", "/tmp/"));
  EXPECT_FALSE(relaunch_wanted("/media/disc/", "/media/disc/", "/tmp/")) << "not a proper prefix";
  EXPECT_FALSE(relaunch_wanted("/media/disc/", "/media/d", "/tmp/")) << "a shorter path is not inside";
  EXPECT_FALSE(relaunch_wanted("/tmp/", "/tmp/corvane-x1/corvane_installer", "/tmp/")) << "the copy runs on";
  EXPECT_FALSE(relaunch_wanted("/", "/tmp/corvane-x1/corvane_installer", "/tmp/"));
}
