// The command registry's listing by path.
#include "window/cmnd.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
using Names = std::vector<std::string>;

Names in_path(const cmnd_class& registry, const std::string& path) {
  Names names = {"left over from before"};
  registry.get_cmds_in_path(path, names);
  return names;
}
}  // namespace

TEST(CmndRegistry, BuiltInCommandIsListedLevelByLevel) {
  const cmnd_class registry;
  ASSERT_EQ(registry.paths, Names{"sim/-none-/-none-"});
  EXPECT_EQ(registry.descriptions, Names{"Do nothing at all!"});

  EXPECT_EQ(in_path(registry, ""), Names{"sim/"});
  EXPECT_EQ(in_path(registry, "sim/"), Names{"-none-/"});
  EXPECT_EQ(in_path(registry, "sim/-none-/"), Names{"-none-"});
  EXPECT_EQ(in_path(registry, "sim/-none-/-none-"), Names{}) << "a path must be longer than the prefix";
  EXPECT_EQ(in_path(registry, "si"), Names{"m/"}) << "a prefix may end inside a component";
  EXPECT_EQ(in_path(registry, "Sim/"), Names{}) << "case counts";
}

TEST(CmndRegistry, GroupsOnceAndEverythingInByteOrder) {
  cmnd_class registry;
  EXPECT_EQ(registry.add_cmd("sim/view/forward", "Look ahead"), 1);
  EXPECT_EQ(registry.add_cmd("sim/view/back", "Look back"), 2);
  EXPECT_EQ(registry.add_cmd("sim/Zoom", "Zoom in"), 3);
  EXPECT_EQ(registry.add_cmd("sim/9lives", "Digits"), 4);
  EXPECT_EQ(registry.add_cmd("sim/view/forward", "Same path again"), 5);
  EXPECT_EQ(registry.add_cmd("other", "Top-level command"), 6);
  ASSERT_EQ(registry.paths.size(), registry.descriptions.size());
  EXPECT_EQ(registry.descriptions[5], "Same path again");

  // "-" sorts before digits, digits before upper case, upper before lower.
  EXPECT_EQ(in_path(registry, "sim/"), (Names{"-none-/", "9lives", "Zoom", "view/"}));
  EXPECT_EQ(in_path(registry, "sim/view/"), (Names{"back", "forward"}));
  EXPECT_EQ(in_path(registry, ""), (Names{"other", "sim/"}));
}

TEST(CmndRegistry, LookupByPathFallsBackToTheNothingCommand) {
  cmnd_class registry;
  EXPECT_EQ(registry.names[0], "cmnd_nothing");
  EXPECT_EQ(registry.types[0], 3);
  EXPECT_EQ(registry.press_counts[0], 0);
  EXPECT_EQ(registry.add_cmd("sim/view/forward", "Look ahead"), 1);
  EXPECT_EQ(registry.add_cmd("sim/view/forward", "Again"), 2);
  EXPECT_EQ(registry.names[2], "DYNAMIC");
  EXPECT_EQ(registry.types[2], 2);
  EXPECT_EQ(registry.get_cmnd_by_name("sim/view/forward"), 1) << "the first of two equal paths";
  EXPECT_EQ(registry.get_cmnd_by_name("sim/-none-/-none-"), 0);
  EXPECT_EQ(registry.get_cmnd_by_name("SIM/view/forward"), 0);
  EXPECT_EQ(registry.get_cmnd_by_name("sim/view/forward/"), 0);
  EXPECT_EQ(registry.get_cmnd_by_name("never/registered"), 0);

  registry.release_one(1);
  EXPECT_EQ(registry.press_counts[1], -1) << "not held at 0";
  registry.press_one(1);
  registry.press_one(1);
  registry.press_always(1);
  EXPECT_EQ(registry.press_counts[1], 1);
  registry.press_one(3);  // outside the registry: ignored
  registry.release_one(-1);
  EXPECT_EQ(registry.press_counts, (std::vector<int>{0, 1, 0}));

  set_plane_focus(4);
  EXPECT_EQ(get_plane_focus(), 4);
  set_plane_focus(0);
}

TEST(CmndRegistry, EmptyRegistryListsNothing) {
  cmnd_class registry;
  registry.names.clear();
  registry.paths.clear();
  registry.descriptions.clear();
  registry.types.clear();
  registry.press_counts.clear();
  EXPECT_EQ(in_path(registry, ""), Names{});
  EXPECT_EQ(registry.get_cmnd_by_name("sim/-none-/-none-"), 0);
  registry.press_one(0);  // nothing to press
  EXPECT_EQ(registry.add_cmd("a/b", "first"), 0);
  EXPECT_EQ(in_path(registry, ""), Names{"a/"});
}
