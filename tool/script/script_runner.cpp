#include "tool/script/script_runner.h"

#include <exception>
#include <map>
#include <new>
#include <string>
#include <type_traits>

#include "tool/common/errors.h"
#include "tool/session/renderer_session.h"

namespace hlr_tool {

namespace {

template <int Form>
const KT_Form_Point_t<Form>* points_of(const Script_Points& points) {
  if constexpr (Form == 1 || Form == 2) {
    return points.float_points.data();
  } else if constexpr (Form == 3 || Form == 4) {
    return points.integer_points.data();
  } else {
    return points.double_points.data();
  }
}

// Calls `call` with the form as a compile-time constant, so that each form
// reaches its action with its own point type.
template <class Call>
void with_form(Point_Form form, Call&& call) {
  switch (form) {
    case Point_Form::f:
      call(std::integral_constant<int, 1>{});
      break;
    case Point_Form::f_in:
      call(std::integral_constant<int, 2>{});
      break;
    case Point_Form::i:
      call(std::integral_constant<int, 3>{});
      break;
    case Point_Form::i_in:
      call(std::integral_constant<int, 4>{});
      break;
    case Point_Form::d:
      call(std::integral_constant<int, 5>{});
      break;
  }
}

int family_position(Face_Family family) {
  switch (family) {
    case Face_Family::triangle_strip:
      return KT_Actions::triangle_strip;
    case Face_Family::face_b:
      return KT_Actions::face_family_b;
    case Face_Family::face_c:
      return KT_Actions::face_family_c;
    case Face_Family::face_d:
      return KT_Actions::face_family_d;
  }
  return KT_Actions::triangle_strip;
}

// The host's side of one script run: the renderer and the renditions the
// script has defined.
class Script_Host {
 public:
  explicit Script_Host(Renderer_Session& session)
      : session_(session), renderer_(session.renderer()) {}

  void operator()(const Option_Statement& statement) {
    switch (statement.kind) {
      case KT_Option_Kind::integer:
        session_.set_option(statement.name, statement.integer);
        break;
      case KT_Option_Kind::boolean:
        session_.set_option(statement.name, statement.boolean);
        break;
      case KT_Option_Kind::real:
        session_.set_option(statement.name, statement.real);
        break;
      case KT_Option_Kind::color: {
        const KT_Color_Components& c = statement.color;
        session_.set_option(statement.name, KT_Option_Value(c[0], c[1], c[2], c[3]));
        break;
      }
    }
  }

  void operator()(const Rendition_Statement& statement) {
    // A new rendition shares the data of `default` as it is now; the
    // copy-on-write of every change keeps the two apart from then on, and
    // keeps records captured earlier as they were.
    KT_Rendition& rendition =
        statement.id == "default"
            ? renderer_.renderer_rendition
            : renditions_.try_emplace(statement.id, renderer_.renderer_rendition).first->second;
    for (const Rendition_Attribute& attribute : statement.attributes) {
      switch (attribute.kind) {
        case Rendition_Attribute::Kind::color:
          rendition.set_color(attribute.color, false);
          break;
        case Rendition_Attribute::Kind::pattern:
          rendition.set_line_pattern(attribute.pattern);
          break;
        case Rendition_Attribute::Kind::clip:
          rendition.set_clip_rectangle(attribute.clip);
          break;
      }
    }
  }

  void operator()(const Color_System_Statement& statement) {
    KT_Color_System system = renderer_.own_renderer_options.color_system();
    system.kind = statement.kind;
    renderer_.own_renderer_options.set_color_system(system);
  }

  void operator()(const Stage_Statement& statement) {
    switch (statement.stage) {
      case Stage::establish:
        session_.stage(Host_Stage::establish);
        break;
      case Stage::begin_picture:
        session_.stage(Host_Stage::begin_picture);
        break;
      case Stage::update:
        session_.stage(Host_Stage::update);
        break;
      case Stage::end_picture:
        session_.stage(Host_Stage::end_picture);
        break;
    }
  }

  void operator()(const Face_Statement& statement) {
    const KT_Rendition& rendition = find(statement.rendition);
    const Script_Points& points = statement.points;
    const int family = family_position(statement.family);
    // The host passes no normals and no colours with a plain face.
    with_form(points.form, [&](auto form) {
      constexpr int f = decltype(form)::value;
      renderer_.actions.call(KT_Actions::face<f>(family), rendition, points.count(),
                             points_of<f>(points), nullptr, nullptr);
    });
  }

  void operator()(const Polyline_Statement& statement) {
    const KT_Rendition& rendition = find(statement.rendition);
    const Script_Points& points = statement.points;
    with_form(points.form, [&](auto form) {
      constexpr int f = decltype(form)::value;
      renderer_.actions.call(KT_Actions::polyline_form<f>(), rendition, points.count(),
                             points_of<f>(points));
    });
  }

  void operator()(const Colored_Polyline_Statement& statement) {
    const KT_Rendition& rendition = find(statement.rendition);
    const Script_Points& points = statement.points;
    const int one_color = statement.one_color ? 1 : 0;
    with_form(points.form, [&](auto form) {
      constexpr int f = decltype(form)::value;
      renderer_.actions.call(KT_Actions::colored_polyline_form<f>(), rendition, points.count(),
                             points_of<f>(points), statement.colors.data(), one_color);
    });
  }

  void operator()(const Marker_Statement& statement) {
    renderer_.actions.call(KT_Actions::marker_action, find(statement.rendition),
                           static_cast<int>(statement.points.size()), statement.points.data());
  }

  void operator()(const Positioned_Item_Statement& statement) {
    // The script has no item to place; the host's item argument is null.
    renderer_.actions.call(KT_Actions::positioned_item_action, find(statement.rendition),
                           &statement.position, nullptr);
  }

  void operator()(const Argument_Statement& statement) {
    renderer_.actions.call(
        statement.clear ? KT_Actions::clear_action_action : KT_Actions::forwarded_action_action,
        statement.argument);
  }

  void operator()(const Ignored_Statement& statement) {
    renderer_.actions.call(KT_Actions::plain(statement.position));
  }

 private:
  // The reader has checked that every rendition is defined above its use.
  const KT_Rendition& find(const std::string& id) const {
    if (id == "default") return renderer_.renderer_rendition;
    return renditions_.at(id);
  }

  Renderer_Session& session_;
  KT_Renderer_Data& renderer_;
  std::map<std::string, KT_Rendition> renditions_;
};

// Line 0: before the first statement, while the renderer is created.
std::string at_line(const Picture_Script& script, int line) {
  if (line == 0) return script.file_name + ": ";
  return script.file_name + ":" + std::to_string(line) + ": ";
}

}  // namespace

std::vector<KT_Recorded_Call> run_picture_script(const Picture_Script& script,
                                                 KD_Renderer_Function create_renderer) {
  const std::int64_t live_before = KT_Counted::thread_balance();
  std::vector<KT_Recorded_Call> calls;
  {
    int line = 0;
    try {
      auto* recorder = new KT_Recording_Renderer;
      Renderer_Session session(create_renderer, recorder);
      {
        // The renditions go before the renderer does.
        Script_Host host(session);
        for (const Statement& statement : script.statements) {
          line = statement.line;
          std::visit(host, statement.body);
        }
      }
      calls = recorder->calls();
    } catch (const Tool_Error& error) {
      throw Tool_Error(at_line(script, line) + error.what(), error.exit_status());
    } catch (const std::bad_alloc&) {
      throw Tool_Error(at_line(script, line) + "out of memory");
    } catch (const std::exception& error) {
      throw Tool_Error(at_line(script, line) + "the renderer failed: " + error.what());
    } catch (...) {
      throw Tool_Error(at_line(script, line) + "the renderer failed with an unknown exception");
    }
  }
  const std::int64_t left_alive = KT_Counted::thread_balance() - live_before;
  if (left_alive != 0) {
    throw Tool_Error(script.file_name + ": " + std::to_string(left_alive) +
                     " host objects are still alive after the renderer was released");
  }
  return calls;
}

}  // namespace hlr_tool
