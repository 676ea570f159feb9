// The page of hlr-render view: turns the models by dragging, asks the
// server for the drawing of each view and shows the newest answer, and
// shows the command that draws the same.
//
// A drawing's address carries its options as query parameters named as
// hlr-render draw's options (/drawing.svg?view=30,20&edges=all&token=...):
// what the page shows is what that command writes.
"use strict";

const viewer = {
  session: null,
  yaw: 35,
  pitch: 25,
  viewName: "",        // a named view while the models stand in it
  options: new Map(),  // per-drawing options other than the view, as their texts
  sent: 0,             // requests sent, numbering them
  shownSequence: 0,    // the number of the request on show
  inFlight: 0,
  pending: false,
  shown: { query: "", svg: "" },  // the drawing on show and its query
  zoom: { scale: 1, x: 0, y: 0 },
};
window.hlrViewer = viewer;

const at = (id) => document.getElementById(id);
const withToken = (path, query) =>
  path + "?" + (query ? query + "&" : "") + "token=" + encodeURIComponent(token);

function optionInfo(name) {
  return viewer.session.options.find((option) => option.name === name);
}

function roundedAngle(degrees) {
  return String(Math.round(degrees * 10) / 10);
}

function viewText() {
  return viewer.viewName || roundedAngle(viewer.yaw) + "," + roundedAngle(viewer.pitch);
}

// The options of this drawing, in the table's order, the view first.
function drawingOptions(sheet) {
  const options = [];
  if (sheet) {
    options.push(["views", viewer.options.get("views") || "front,top,right,iso"]);
    if (!viewer.options.has("page")) options.push(["page", "A3"]);
  } else {
    options.push(["view", viewText()]);
  }
  for (const option of viewer.session.options) {
    if (option.name === "view" || option.name === "views") continue;
    if (viewer.options.has(option.name)) options.push([option.name, viewer.options.get(option.name)]);
  }
  return options;
}

function queryOf(options) {
  return options.map(([name, text]) =>
    encodeURIComponent(name) + "=" + encodeURIComponent(text)).join("&");
}

function shellWord(word) {
  return /^[A-Za-z0-9_.,:\/=+-]+$/.test(word) ? word : "'" + word.replace(/'/g, "'\\''") + "'";
}

function commandLine(options, output) {
  const words = [...viewer.session.program, ...viewer.session.models];
  for (const [name, text] of [...viewer.session.run, ...options]) {
    const option = optionInfo(name);
    if (option && option.flag) {
      if (text === "true") words.push("--" + name);
    } else {
      words.push("--" + name, text);
    }
  }
  words.push("-o", output);
  return words.map(shellWord).join(" ");
}

function setStatus(text, error) {
  at("status").textContent = text;
  at("status").classList.toggle("error", Boolean(error));
}

// Sends the drawing of the current state, at most two at once: while the
// pointer moves faster than drawings come back, the newest state waits
// and goes next, and an answer older than the one on show is dropped.
function redraw() {
  updateControls();
  if (viewer.inFlight >= 2) {
    viewer.pending = true;
    return;
  }
  send();
}

async function send() {
  const sequence = ++viewer.sent;
  const query = queryOf(drawingOptions(false));
  const started = performance.now();
  viewer.inFlight++;
  try {
    const response = await fetch(withToken("drawing.svg", query));
    const text = await response.text();
    if (sequence < viewer.shownSequence) return;
    viewer.shownSequence = sequence;
    if (!response.ok) {
      setStatus(text.trim(), true);
      return;
    }
    show(text, query);
    const timing = /total;dur=([0-9.]+)/.exec(response.headers.get("Server-Timing") || "");
    setStatus("view " + viewText() + ": redrawn in " + Math.round(performance.now() - started) +
              " ms" + (timing ? " (drawing " + Math.round(Number(timing[1])) + " ms)" : "") +
              " at " + new Date().toLocaleTimeString());
  } catch (error) {
    setStatus("the viewer does not answer: " + error.message, true);
  } finally {
    viewer.inFlight--;
    if (viewer.pending) {
      viewer.pending = false;
      send();
    }
  }
}

function show(svgText, query) {
  const parsed = new DOMParser().parseFromString(svgText, "image/svg+xml");
  const drawing = at("drawing");
  drawing.replaceChildren(document.importNode(parsed.documentElement, true));
  drawing.dataset.query = query;
  viewer.shown = { query, svg: svgText };
}

function updateControls() {
  const options = drawingOptions(false);
  at("command").value = commandLine(options, "drawing.svg");
  for (const link of document.querySelectorAll("#exports a")) {
    const sheet = link.dataset.sheet === "true";
    const format = link.dataset.format;
    const chosen = drawingOptions(sheet);
    link.href = withToken("drawing." + format, queryOf(chosen));
    link.download = (sheet ? "sheet." : "drawing.") + format;
    link.title = commandLine(chosen, link.download);
  }
  for (const button of at("view-buttons").children) {
    button.classList.toggle("current", button.textContent === viewer.viewName);
  }
  at("edges").value = viewer.options.get("edges") || optionInfo("edges").default;
  at("hidden-lines").value = viewer.options.get("hidden") || optionInfo("hidden").default;
  at("intersections-switch").checked = viewer.options.get("intersections") === "true";
}

// A control's value; the option table's default leaves it out.
function setOption(name, text) {
  if (text === optionInfo(name).default) viewer.options.delete(name);
  else viewer.options.set(name, text);
  redraw();
}

function setView(text) {
  const named = viewer.session.views.find(([name]) => name === text);
  if (named) {
    [viewer.viewName, viewer.yaw, viewer.pitch] = named;
  } else {
    const [yaw, pitch] = text.split(",").map(Number);
    viewer.yaw = yaw;
    viewer.pitch = pitch;
    viewer.viewName = "";
  }
}

function fillChoices(select, name) {
  for (const choice of optionInfo(name).choices) select.add(new Option(choice, choice));
}

function applyZoom() {
  const { scale, x, y } = viewer.zoom;
  at("drawing").style.transform = `translate(${x}px, ${y}px) scale(${scale})`;
}

function wireStage() {
  const stage = at("stage");
  let drag = null;
  stage.addEventListener("pointerdown", (event) => {
    drag = { x: event.clientX, y: event.clientY, pan: event.shiftKey || event.button === 1 };
    stage.setPointerCapture(event.pointerId);
    stage.classList.add("dragging");
  });
  stage.addEventListener("pointermove", (event) => {
    if (!drag) return;
    const dx = event.clientX - drag.x, dy = event.clientY - drag.y;
    drag.x = event.clientX;
    drag.y = event.clientY;
    if (drag.pan) {
      viewer.zoom.x += dx;
      viewer.zoom.y += dy;
      applyZoom();
      return;
    }
    // Across the whole stage turns the models half round.
    const degreesPerPixel = 180 / Math.max(stage.clientWidth, 1);
    viewer.yaw = (((viewer.yaw + dx * degreesPerPixel) % 360) + 540) % 360 - 180;
    viewer.pitch = Math.max(-90, Math.min(90, viewer.pitch + dy * degreesPerPixel));
    viewer.viewName = "";
    redraw();
  });
  const end = () => {
    drag = null;
    stage.classList.remove("dragging");
  };
  stage.addEventListener("pointerup", end);
  stage.addEventListener("pointercancel", end);
  stage.addEventListener("wheel", (event) => {
    event.preventDefault();
    const box = stage.getBoundingClientRect();
    const px = event.clientX - box.left, py = event.clientY - box.top;
    const zoom = viewer.zoom;
    const scale = Math.max(0.2, Math.min(40, zoom.scale * Math.exp(-event.deltaY * 0.0015)));
    // The point under the pointer stays under it.
    zoom.x = px - (px - zoom.x) * (scale / zoom.scale);
    zoom.y = py - (py - zoom.y) * (scale / zoom.scale);
    zoom.scale = scale;
    applyZoom();
  }, { passive: false });
  const fit = () => {
    viewer.zoom = { scale: 1, x: 0, y: 0 };
    applyZoom();
  };
  stage.addEventListener("dblclick", fit);
  at("zoom-reset").addEventListener("click", fit);
}

function wireControls() {
  for (const [name] of viewer.session.views) {
    const button = document.createElement("button");
    button.textContent = name;
    button.addEventListener("click", () => {
      setView(name);
      redraw();
    });
    at("view-buttons").appendChild(button);
  }
  fillChoices(at("edges"), "edges");
  fillChoices(at("hidden-lines"), "hidden");
  at("edges").title = optionInfo("edges").help;
  at("hidden-lines").title = optionInfo("hidden").help;
  at("intersections-switch").parentElement.title = optionInfo("intersections").help;
  at("edges").addEventListener("change", (event) => setOption("edges", event.target.value));
  at("hidden-lines").addEventListener("change", (event) => setOption("hidden", event.target.value));
  at("intersections-switch").addEventListener("change", (event) =>
    setOption("intersections", event.target.checked ? "true" : "false"));
  at("copy").addEventListener("click", () => {
    at("command").select();
    if (navigator.clipboard) navigator.clipboard.writeText(at("command").value).catch(() => {});
  });
}

async function start() {
  try {
    const response = await fetch(withToken("session.json", ""));
    if (!response.ok) throw new Error((await response.text()).trim());
    viewer.session = await response.json();
  } catch (error) {
    setStatus("cannot read the session: " + error.message, true);
    return;
  }
  setView(optionInfo("view").default);
  for (const [name, text] of viewer.session.start) {
    if (name === "view") setView(text);
    else viewer.options.set(name, text);
  }
  wireControls();
  wireStage();
  redraw();
}

if (document.readyState === "loading") document.addEventListener("DOMContentLoaded", start);
else start();
