// The configuration store: reading and checking config.toml, and saving the runtime mode into
// it by the smallest edit, atomically, never over a file it cannot understand.

#include "host/config/config_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "host/config/config_file.h"
#include "host/config/config_path.h"
#include "host/config/toml_depth.h"
#include "host/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using host::config::Backend;
using host::config::ConfigError;
using host::config::TomlConfigStore;
using host_test::slurp;
using host_test::write_text;

zell::ports::ZellConfig with_mode(const std::string& mode) {
  zell::ports::ZellConfig config;
  config.runtime.laptop_26b_runtime_mode = mode;
  return config;
}

// The error's message, or "" when `f` does not throw ConfigError.
template <typename F>
std::string config_error_of(F&& f) {
  try {
    f();
  } catch (const ConfigError& e) {
    return e.what();
  }
  return "";
}

TEST(ConfigFile, MissingKeysGiveTheDefaults) {
  const auto config = host::config::parse_config("[other]\nx = 1\n", "c.toml");
  EXPECT_EQ(config.zell.runtime.laptop_26b_runtime_mode, "");
  EXPECT_EQ(config.runtime.backend, Backend::demo);
  EXPECT_EQ(config.runtime.base_url, "http://127.0.0.1:8080");
  EXPECT_EQ(config.runtime.timeout_s, 2.0);
  EXPECT_FALSE(config.runtime.model);
  EXPECT_FALSE(config.agent.system_prompt);
  EXPECT_EQ(config.agent.idle_timeout_s, 60.0);
  EXPECT_EQ(config.ui.theme, "auto");
  EXPECT_EQ(config.ui.notify, "auto");
}

TEST(ConfigFile, ReadsEveryKey) {
  const auto config = host::config::parse_config(R"(
[runtime]
laptop_26b_runtime_mode = "turbo-think"
backend = "http"
base_url = "http://box:9000/llm/"
timeout_s = 0.5
model = "qwen3"
future_key = [1, 2]
[agent]
system_prompt = """Be brief."""
idle_timeout_s = 90
[ui]
theme = "light"
notify = "bell"
)",
                                                 "c.toml");
  EXPECT_EQ(config.zell.runtime.laptop_26b_runtime_mode, "turbo-think");
  EXPECT_EQ(config.runtime.backend, Backend::http);
  EXPECT_EQ(config.runtime.base_url, "http://box:9000/llm/");
  EXPECT_EQ(config.runtime.timeout_s, 0.5);
  EXPECT_EQ(config.runtime.model, "qwen3");
  EXPECT_EQ(config.agent.system_prompt, "Be brief.");
  EXPECT_EQ(config.agent.idle_timeout_s, 90.0);
  EXPECT_EQ(config.ui.theme, "light");
  EXPECT_EQ(config.ui.notify, "bell");
  EXPECT_EQ(config.warnings,
            std::vector<std::string>{"c.toml:8: unknown key runtime.future_key (ignored)"});
}

struct BadFile {
  const char* text;
  const char* error;  // the start of the message, naming the file, line and column
};

class ConfigFileRejects : public testing::TestWithParam<BadFile> {};

TEST_P(ConfigFileRejects, NamingFileLineAndColumn) {
  const auto& c = GetParam();
  const std::string error =
      config_error_of([&] { (void)host::config::parse_config(c.text, "c.toml"); });
  EXPECT_TRUE(error.starts_with(c.error)) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConfigFileRejects,
    testing::Values(
        BadFile{"[runtime\nbackend = 1\n", "c.toml:1:9: "},
        BadFile{"a = 1\na = 2\n", "c.toml:2:5: "},
        BadFile{"[runtime]\nbackend = \"grpc\"\n",
                "c.toml:2:11: runtime.backend must be \"demo\" or \"http\", not \"grpc\""},
        BadFile{"[runtime]\nlaptop_26b_runtime_mode = \"fast\"\n",
                "c.toml:2:27: runtime.laptop_26b_runtime_mode must be \"turbo\" or "
                "\"turbo-think\""},
        BadFile{"[runtime]\ntimeout_s = 0\n", "c.toml:2:13: runtime.timeout_s must be"},
        BadFile{"[runtime]\ntimeout_s = -1.5\n", "c.toml:2:13: runtime.timeout_s must be"},
        BadFile{"[runtime]\ntimeout_s = nan\n", "c.toml:2:13: runtime.timeout_s must be"},
        BadFile{"[runtime]\ntimeout_s = 1e300\n", "c.toml:2:13: runtime.timeout_s must be"},
        BadFile{"[runtime]\ntimeout_s = \"2\"\n", "c.toml:2:13: runtime.timeout_s must be"},
        BadFile{"[runtime]\nbase_url = \"ftp://x\"\n", "c.toml:2:12: runtime.base_url must"},
        BadFile{"[runtime]\nbase_url = \"http://exa mple\"\n", "c.toml:2:12: runtime.base_url"},
        BadFile{"[runtime]\nbase_url = \"http://:8080\"\n", "c.toml:2:12: runtime.base_url"},
        BadFile{"[runtime]\nbase_url = \"http://h:99999\"\n", "c.toml:2:12: runtime.base_url"},
        BadFile{"[runtime]\nbase_url = \"https://\"\n", "c.toml:2:12: runtime.base_url"},
        BadFile{"[runtime]\nmodel = 7\n", "c.toml:2:9: runtime.model must be a string"},
        BadFile{"runtime = 3\n", "c.toml:1:11: runtime must be a table"},
        BadFile{"[agent]\nidle_timeout_s = 0\n", "c.toml:2:18: agent.idle_timeout_s must be"},
        BadFile{"[ui]\ntheme = \"solarized\"\n",
                "c.toml:2:9: ui.theme must be \"auto\" or \"dark\" or \"light\""},
        BadFile{"[ui]\nnotify = true\n", "c.toml:2:10: ui.notify must be a string"},
        // A value from the file never reaches the terminal with its control characters.
        BadFile{"[runtime]\nbackend = \"\\u001b[2J\"\n",
                "c.toml:2:11: runtime.backend must be \"demo\" or \"http\", not "
                "\"\\u001B[2J\""}));

// Nesting the TOML library would recurse into until the stack overflows is refused first.
TEST(ConfigFile, RefusesDeepNestingBeforeParsing) {
  std::string dotted = "[runtime]\na";
  for (int i = 0; i < 40'000; ++i) dotted += ".a";
  const std::string deep[] = {dotted + " = 1\n", "[a" + dotted.substr(11) + "]\n",
                              "x = " + std::string(40'000, '[') + "\n",
                              "x = {" + std::string(20'000, ' ') + "y = {z = {}}}\n" + dotted};
  for (const auto& text : deep) {
    const std::string error =
        config_error_of([&] { (void)host::config::parse_config(text, "c.toml"); });
    EXPECT_NE(error.find("nest deeper than"), std::string::npos) << error.substr(0, 80);
  }
  // Within the bound, and dots inside strings, values and comments, are not nesting.
  std::string fine = "a";
  for (int i = 1; i < host::config::kMaxTomlDepth; ++i) fine += ".a";
  fine += " = 1.5 # " + std::string(200, '.') + "\n\"" + std::string(200, '.') + "\" = '" +
          std::string(200, '.') + "'\nm = \"\"\"\n" + std::string(200, '.') + "\"\"\"\n";
  EXPECT_EQ(config_error_of([&] { (void)host::config::parse_config(fine, "c.toml"); }), "");
}

TEST(ConfigFile, UnknownKeysAndSectionsWarnWithTheirLine) {
  const auto config = host::config::parse_config(
      "[runtim]\nbackend = \"http\"\n[runtime]\nbakend = \"http\"\nmodel = \"m\"\n"
      "[agent]\nsystem_prompt = \"x\"\n",
      "c.toml");
  EXPECT_EQ(config.runtime.backend, Backend::demo);
  EXPECT_EQ(config.warnings,
            (std::vector<std::string>{"c.toml:1: unknown section runtim (ignored)",
                                      "c.toml:4: unknown key runtime.bakend (ignored)"}));
}

TEST(ConfigPath, FollowsTheXdgRule) {
  using host::config::resolve_config_path;
  EXPECT_EQ(resolve_config_path("/x/conf", "/home/u"), fs::path("/x/conf/vellumine/config.toml"));
  EXPECT_EQ(resolve_config_path("", "/home/u"), fs::path("/home/u/.config/vellumine/config.toml"));
  EXPECT_EQ(resolve_config_path("relative/conf", "/home/u"),
            fs::path("/home/u/.config/vellumine/config.toml"));
  EXPECT_EQ(resolve_config_path(std::nullopt, "/home/u"),
            fs::path("/home/u/.config/vellumine/config.toml"));
  EXPECT_THROW((void)resolve_config_path(std::nullopt, std::nullopt), ConfigError);
}

class ConfigStore : public testing::Test {
 protected:
  host_test::TempFolder folder;
  fs::path file = folder.path() / "vellumine" / "config.toml";
  TomlConfigStore store{file};

  void SetUp() override { fs::create_directories(file.parent_path()); }
};

TEST_F(ConfigStore, MissingFileLoadsDefaultsAndSaveCreatesIt) {
  fs::remove_all(file.parent_path());
  EXPECT_EQ(store.load().runtime.backend, Backend::demo);
  store.save_config(with_mode("turbo-think"));
  EXPECT_EQ(slurp(file), "[runtime]\nlaptop_26b_runtime_mode = \"turbo-think\"\n");
  EXPECT_EQ(store.load().zell.runtime.laptop_26b_runtime_mode, "turbo-think");
}

TEST_F(ConfigStore, SaveLeavesOnlyTheFileBehind) {
  write_text(file, "[runtime]\nlaptop_26b_runtime_mode = \"turbo\"\n");
  ::chmod(file.c_str(), 0600);
  store.save_config(with_mode("turbo-think"));
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(file.parent_path())) {
    names.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(names, std::vector<std::string>{"config.toml"});
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::mask, fs::perms(0600));
}

TEST_F(ConfigStore, MalformedFileIsReportedAndNeverOverwritten) {
  const std::string text = "# mine\n[runtime]\nbackend = \n";
  write_text(file, text);
  const std::string load_error = config_error_of([&] { (void)store.load(); });
  EXPECT_TRUE(load_error.starts_with(file.string() + ":3:")) << load_error;
  const std::string save_error = config_error_of([&] { store.save_config(with_mode("turbo")); });
  EXPECT_TRUE(save_error.starts_with(file.string() + ":3:")) << save_error;
  EXPECT_EQ(slurp(file), text);
}

TEST_F(ConfigStore, ReadOnlyFileOrFolderIsAClearError) {
  const std::string text = "[runtime]\nlaptop_26b_runtime_mode = \"turbo\"\n";
  write_text(file, text);
  ::chmod(file.c_str(), 0444);
  EXPECT_NE(config_error_of([&] {
              store.save_config(with_mode("turbo-think"));
            }).find("the file is read-only"),
            std::string::npos);
  ::chmod(file.c_str(), 0644);
  ::chmod(file.parent_path().c_str(), 0555);
  EXPECT_NE(
      config_error_of([&] { store.save_config(with_mode("turbo-think")); }).find("is read-only"),
      std::string::npos);
  EXPECT_EQ(slurp(file), text);
}

TEST_F(ConfigStore, RefusesToSaveAModeItCouldNotReadBack) {
  EXPECT_THROW(store.save_config(with_mode("fast")), ConfigError);
  EXPECT_THROW(store.save_config(with_mode("")), ConfigError);
  EXPECT_FALSE(fs::exists(file));
}

TEST_F(ConfigStore, SavesThroughASymbolicLink) {
  const fs::path target = folder.path() / "dotfiles.toml";
  write_text(target, "x = 1\n");
  fs::create_symlink(target, file);
  store.save_config(with_mode("turbo"));
  EXPECT_TRUE(fs::is_symlink(file));
  EXPECT_EQ(slurp(target), "x = 1\n\n[runtime]\nlaptop_26b_runtime_mode = \"turbo\"\n");
}

TEST_F(ConfigStore, SavesThroughADanglingSymbolicLink) {
  const fs::path target = folder.path() / "dotfiles" / "vellumine.toml";
  fs::create_symlink("../dotfiles/vellumine.toml", file);
  store.save_config(with_mode("turbo"));
  EXPECT_TRUE(fs::is_symlink(file));
  EXPECT_EQ(slurp(target), "[runtime]\nlaptop_26b_runtime_mode = \"turbo\"\n");
}

struct Edit {
  const char* name;
  const char* before;
  const char* after;  // with the mode set to "turbo-think"
};

class SaveEdits : public testing::TestWithParam<Edit> {};

TEST_P(SaveEdits, ChangeOnlyTheMode) {
  host_test::TempFolder folder;
  const fs::path file = folder.path() / "config.toml";
  write_text(file, GetParam().before);
  TomlConfigStore store(file);
  store.save_config(with_mode("turbo-think"));
  EXPECT_EQ(slurp(file), GetParam().after);
  EXPECT_EQ(store.load().zell.runtime.laptop_26b_runtime_mode, "turbo-think");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SaveEdits,
    testing::Values(
        Edit{"ValueReplacedInPlace",
             "# my config\n[runtime]  # the runtime\nbackend = \"http\"   # aligned\n"
             "laptop_26b_runtime_mode   =   'turbo'  # mode\nunknown = { a = 1 }\n\n"
             "[tools]\nshell = true\n",
             "# my config\n[runtime]  # the runtime\nbackend = \"http\"   # aligned\n"
             "laptop_26b_runtime_mode   =   \"turbo-think\"  # mode\nunknown = { a = 1 }\n\n"
             "[tools]\nshell = true\n"},
        Edit{"KeyAddedUnderTheHeader", "[a]\nx = 1\n[runtime] # c\nbackend = \"demo\"\n[b]\n",
             "[a]\nx = 1\n[runtime] # c\nlaptop_26b_runtime_mode = \"turbo-think\"\n"
             "backend = \"demo\"\n[b]\n"},
        Edit{"SectionAppended", "[agent]\nidle_timeout_s = 5",
             "[agent]\nidle_timeout_s = 5\n\n[runtime]\nlaptop_26b_runtime_mode = "
             "\"turbo-think\"\n"},
        Edit{"CrLfKept", "[runtime]\r\nbackend = \"demo\"\r\n",
             "[runtime]\r\nlaptop_26b_runtime_mode = \"turbo-think\"\r\nbackend = \"demo\"\r\n"},
        Edit{"InsideAnInlineTable",
             "runtime = { \"ä😀\" = 1, laptop_26b_runtime_mode = \"turbo\" }\n",
             "runtime = { \"ä😀\" = 1, laptop_26b_runtime_mode = \"turbo-think\" }\n"},
        Edit{"MultiLineValue", "[runtime]\nlaptop_26b_runtime_mode = \"\"\"\nturbo\"\"\" # x\n",
             "[runtime]\nlaptop_26b_runtime_mode = \"turbo-think\" # x\n"},
        Edit{"DottedKeysAtTheTop", "runtime.backend = \"http\"\n[x]\ny = 2\n",
             "runtime.laptop_26b_runtime_mode = \"turbo-think\"\nruntime.backend = \"http\"\n"
             "[x]\ny = 2\n"},
        Edit{"OnlyASubTable", "[runtime.extra]\nq = 1\n",
             "[runtime.extra]\nq = 1\n\n[runtime]\nlaptop_26b_runtime_mode = \"turbo-think\"\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConfigStore, InlineTableWithoutTheKeyIsLeftAlone) {
  const std::string text = "runtime = { backend = \"demo\" }\n";
  write_text(file, text);
  EXPECT_NE(config_error_of([&] { store.save_config(with_mode("turbo")); }).find("add the line"),
            std::string::npos);
  EXPECT_EQ(slurp(file), text);
}

}  // namespace
