#include "parts.h"

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace hlr_cad_test {
namespace {

namespace fs = std::filesystem;

std::string quoted(const std::string& text) {
  std::string result = "'";
  for (char c : text) result += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return result + "'";
}

}  // namespace

std::string file_text(const std::string& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

std::optional<std::string> occt_parts(std::string& why) {
  fs::path cache;
  if (const char* given = std::getenv("HLR_DATA_CACHE"); given != nullptr && *given != '\0') {
    cache = given;
  } else if (const char* home = std::getenv("HOME"); home != nullptr) {
    cache = fs::path(home) / ".cache" / "hlr-data";
  } else {
    why = "neither HLR_DATA_CACHE nor HOME is set: no cache for the occt-misc parts";
    return std::nullopt;
  }
  const fs::path data = cache / "data";
  if (fs::exists(data / "step" / "screw.step")) return data.string();
  std::error_code error;
  fs::create_directories(cache, error);
  // apt-get download needs no root; the package unpacks beside the cache's
  // other files and only its data folder is kept.
  const std::string fetch =
      "cd " + quoted(cache.string()) +
      " && rm -rf pkg occt-misc_*.deb && apt-get download -qq occt-misc >/dev/null 2>&1"
      " && dpkg-deb -x occt-misc_*.deb pkg && rm -rf data"
      " && mv pkg/usr/share/opencascade/data data && rm -rf pkg occt-misc_*.deb";
  if (std::system(fetch.c_str()) != 0 || !fs::exists(data / "step" / "screw.step")) {
    why = "could not fetch Debian's occt-misc into " + cache.string() +
          " (apt-get download occt-misc failed: no network or no package lists?)";
    return std::nullopt;
  }
  return data.string();
}

Run_Result run_tool(const std::vector<std::string>& arguments, const std::string& folder) {
  // A run that hangs ends after two minutes with timeout's status 124,
  // never reached by one that answers.
  std::string command = "timeout -s KILL 120 " + quoted(HLR_RENDER);
  for (const std::string& argument : arguments) command += " " + quoted(argument);
  const fs::path out = fs::path(folder) / "stdout.txt", err = fs::path(folder) / "stderr.txt";
  command += " >" + quoted(out.string()) + " 2>" + quoted(err.string()) + " </dev/null";
  const int raw = std::system(command.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, file_text(out), file_text(err)};
}

std::vector<Device_Segment> svg_layer(const std::string& svg_file, const std::string& layer,
                                      double height) {
  std::vector<Device_Segment> segments;
  std::istringstream lines(file_text(svg_file));
  std::string line, current;
  while (std::getline(lines, line)) {
    if (line.rfind("<g id=\"", 0) == 0) {
      current = line.substr(7, line.find('"', 7) - 7);
    } else if (current == layer && line.rfind("<polyline points=\"", 0) == 0) {
      std::istringstream pairs(line.substr(18, line.find('"', 18) - 18));
      std::vector<std::array<double, 2>> points;
      for (std::array<double, 2> p; pairs >> p[0] && pairs.ignore(1) && pairs >> p[1];)
        points.push_back({p[0], height - p[1]});
      for (std::size_t k = 1; k < points.size(); ++k)
        segments.push_back({points[k - 1][0], points[k - 1][1], points[k][0], points[k][1]});
    }
  }
  return segments;
}

}  // namespace hlr_cad_test
