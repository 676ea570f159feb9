#include "tool/batch/batch_report.h"

#include <nlohmann/json.hpp>

#include <stdexcept>

#include "tool/batch/batch_request.h"

namespace hlr_tool {

namespace {

using Json = nlohmann::ordered_json;

const char* status_name(Batch_Status status) {
  switch (status) {
    case Batch_Status::drawn:
      return "drawn";
    case Batch_Status::up_to_date:
      return "up-to-date";
    case Batch_Status::failed:
      break;
  }
  return "failed";
}

Json entry_object(const Batch_Entry& entry) {
  const Batch_Counts& c = entry.counts;
  return {{"input", entry.input},
          {"output", entry.output},
          {"status", status_name(entry.status)},
          {"exit_status", entry.exit_status},
          {"seconds", entry.seconds},
          {"counts",
           {{"triangles", c.triangles},
            {"edges", c.edges},
            {"visible", c.visible},
            {"hidden", c.hidden},
            {"intersections", c.intersections},
            {"polylines", c.polylines}}},
          {"message", entry.message}};
}

}  // namespace

std::size_t Batch_Report::count(Batch_Status status) const {
  std::size_t n = 0;
  for (const Batch_Entry& entry : entries) n += entry.status == status ? 1 : 0;
  return n;
}

int Batch_Report::exit_status() const {
  return count(Batch_Status::failed) == 0 ? 0 : exit_some_inputs_failed;
}

std::string entry_json(const Batch_Entry& entry) { return entry_object(entry).dump(); }

Batch_Entry entry_from_json(const std::string& text) {
  try {
    const Json json = Json::parse(text);
    Batch_Entry entry;
    entry.input = json.at("input").get<std::string>();
    entry.output = json.at("output").get<std::string>();
    const std::string status = json.at("status").get<std::string>();
    for (Batch_Status s : {Batch_Status::drawn, Batch_Status::up_to_date, Batch_Status::failed}) {
      if (status == status_name(s)) entry.status = s;
    }
    entry.exit_status = json.at("exit_status").get<int>();
    entry.seconds = json.at("seconds").get<double>();
    const Json& counts = json.at("counts");
    entry.counts = {
        counts.at("triangles").get<std::size_t>(),     counts.at("edges").get<std::size_t>(),
        counts.at("visible").get<std::size_t>(),       counts.at("hidden").get<std::size_t>(),
        counts.at("intersections").get<std::size_t>(), counts.at("polylines").get<std::size_t>()};
    entry.message = json.at("message").get<std::string>();
    return entry;
  } catch (const nlohmann::json::exception& error) {
    throw std::runtime_error(std::string("not a batch entry: ") + error.what());
  }
}

std::string report_json(const Batch_Report& report) {
  Json entries = Json::array();
  for (const Batch_Entry& entry : report.entries) entries.push_back(entry_object(entry));
  const Json json = {{"inputs", report.entries.size()},
                     {"drawn", report.count(Batch_Status::drawn)},
                     {"up_to_date", report.count(Batch_Status::up_to_date)},
                     {"failed", report.count(Batch_Status::failed)},
                     {"seconds", report.seconds},
                     {"entries", std::move(entries)}};
  return json.dump(2) + "\n";
}

}  // namespace hlr_tool
