// The stewards' page: the capture window of a heat played in a loop at 1/4,
// 1/2 or full speed or field by field, with the goal line, and its finish
// strip (the goal line's column of every field side by side), for the heat on
// screen in the program and any earlier heat of the meeting.
"use strict";

(() => {
  const el = (id) => document.getElementById(id);
  const picture = el("picture");
  const strip = el("strip");
  const STRIP_COLUMN = 2; // strip pixels per field
  const SCALE_HEIGHT = 18; // rows of the time scale under the strip

  let heats = [];
  let onScreen = null;
  let chosen = null; // heat id the steward picked; null follows the program
  let heat = null; // { id, index, images, positions }
  let position = 0;
  let speed = 1;
  let playing = true;
  let timer = null;
  let loading = 0;

  function timeText(ms) {
    if (ms == null) return "--";
    const sign = ms < 0 ? "-" : "";
    const cs = Math.round(Math.abs(ms) / 10);
    const s = Math.floor(cs / 100);
    return sign + String(Math.floor(s / 60)).padStart(2, "0") + ":" + String(s % 60).padStart(2, "0") + "," +
      String(cs % 100).padStart(2, "0");
  }

  // The review positions of a recording: each field of a frame reviewed by field, else each frame.
  function positions(index) {
    const list = [];
    for (const f of index.frames) {
      if (index.by_field) {
        list.push({ frame: f.n, field: 1, time: f.damaged ? null : f.times[0] });
        list.push({ frame: f.n, field: 2, time: f.damaged ? null : f.times[1] });
      } else {
        list.push({ frame: f.n, field: 0, time: f.damaged ? null : f.times[0] });
      }
    }
    return list;
  }

  // Draws one position at the recording's full size: a field is stretched to full height,
  // taken from its half of a stacked picture or from its rows of an interleaved one.
  function draw(target, h, p) {
    const index = h.index;
    const img = h.images[p.frame - 1];
    const ctx = target.getContext("2d");
    const W = index.width, H = index.height;
    if (target.width !== W || target.height !== H) {
      target.width = W;
      target.height = H;
    }
    ctx.fillStyle = "#000";
    ctx.fillRect(0, 0, W, H);
    if (!img || !img.complete || !img.naturalWidth) return false;
    if (!p.field) {
      ctx.drawImage(img, 0, 0, W, H);
    } else if (index.stacked) {
      const half = img.naturalHeight / 2;
      ctx.drawImage(img, 0, (p.field - 1) * half, img.naturalWidth, half, 0, 0, W, H);
    } else {
      for (let y = p.field - 1; y < img.naturalHeight; y += 2)
        ctx.drawImage(img, 0, y, img.naturalWidth, 1, 0, y - (p.field - 1), W, 2);
    }
    return true;
  }

  function drawGoalLine(ctx, index) {
    const [x1, y1, x2, y2] = index.goal;
    if (x1 === x2 && y1 === y2) return;
    ctx.strokeStyle = "rgba(255, 40, 40, 0.8)";
    ctx.lineWidth = 1;
    ctx.beginPath();
    ctx.moveTo(x1 + 0.5, y1);
    ctx.lineTo(x2 + 0.5, y2);
    ctx.stroke();
  }

  function show() {
    if (!heat || !heat.positions.length) return;
    const p = heat.positions[position];
    draw(picture, heat, p);
    drawGoalLine(picture.getContext("2d"), heat.index);
    Houndex.text(el("position"), (p.field ? "frame " + p.frame + " field " + p.field : "frame " + p.frame) +
      " · " + (position + 1) + "/" + heat.positions.length);
    Houndex.text(el("time"), timeText(p.time));
    drawStripCursor();
  }

  function schedule() {
    clearTimeout(timer);
    if (!playing || !heat || heat.positions.length < 2) return;
    const now = heat.positions[position];
    const next = heat.positions[(position + 1) % heat.positions.length];
    // The real time between the two positions, slowed; the loop pauses a second at its end.
    let gap = now.time != null && next.time != null ? next.time - now.time : heat.index.field_period;
    if (position + 1 >= heat.positions.length || gap <= 0) gap = 1000 * speed;
    timer = setTimeout(() => {
      position = (position + 1) % heat.positions.length;
      show();
      schedule();
    }, Math.max(5, gap / speed));
  }

  function step(delta) {
    if (!heat) return;
    playing = false;
    updateButtons();
    position = Math.min(heat.positions.length - 1, Math.max(0, position + delta));
    show();
    schedule();
  }

  function updateButtons() {
    Houndex.text(el("play"), playing ? "Pause" : "Play");
    for (const b of document.querySelectorAll("button[data-speed]"))
      b.setAttribute("aria-pressed", String(Number(b.dataset.speed) === speed));
  }

  function lineX(index, y) {
    const [x1, y1, x2, y2] = index.goal;
    if (y1 === y2) return x1;
    return x1 + ((x2 - x1) * (y - y1)) / (y2 - y1);
  }

  // The goal line's column of every position, left to right, with a scale in hundredths below.
  function buildStrip(h) {
    const index = h.index;
    const W = index.width, H = index.height;
    const [, y1, , y2] = index.goal;
    const top = Math.max(0, Math.min(y1, y2)), bottom = Math.min(H - 1, Math.max(y1, y2));
    const rows = bottom - top + 1;
    const n = h.positions.length;
    strip.width = Math.max(1, n * STRIP_COLUMN);
    strip.height = Math.max(1, rows + SCALE_HEIGHT);
    const ctx = strip.getContext("2d");
    ctx.fillStyle = "#000";
    ctx.fillRect(0, 0, strip.width, strip.height);
    if (rows < 2) return;
    const work = document.createElement("canvas");
    const xs = [];
    for (let y = top; y <= bottom; y++) xs.push(Math.round(lineX(index, y)));
    const left = Math.max(0, Math.min(...xs)), right = Math.min(W - 1, Math.max(...xs) + STRIP_COLUMN);
    const out = ctx.createImageData(strip.width, rows);
    h.positions.forEach((p, i) => {
      if (!draw(work, h, p)) return;
      const data = work.getContext("2d").getImageData(left, top, right - left + 1, rows).data;
      const span = right - left + 1;
      for (let r = 0; r < rows; r++)
        for (let c = 0; c < STRIP_COLUMN; c++) {
          const x = Math.min(right, xs[r] + c) - left;
          const from = (r * span + x) * 4, to = (r * strip.width + i * STRIP_COLUMN + c) * 4;
          out.data[to] = data[from];
          out.data[to + 1] = data[from + 1];
          out.data[to + 2] = data[from + 2];
          out.data[to + 3] = 255;
        }
    });
    ctx.putImageData(out, 0, 0);
    h.strip = ctx.getImageData(0, 0, strip.width, strip.height);
    // Shown wide enough to tell the fields apart, at most the page's width unless it has more fields.
    const shown = strip.width * (strip.clientHeight / strip.height);
    strip.style.width = Math.max(shown, Math.min(el("strip-box").clientWidth, n * 12)) + "px";
    // The scale: a tick at each hundredth a field starts in, labelled every tenth.
    ctx.fillStyle = "#ddd";
    ctx.font = "11px sans-serif";
    let lastLabel = -1e9;
    h.positions.forEach((p, i) => {
      if (p.time == null) return;
      const x = i * STRIP_COLUMN;
      if (p.time % 100 < (h.index.field_period || 20) && x - lastLabel > 60) {
        ctx.fillRect(x, rows, 1, 6);
        ctx.fillText(timeText(p.time), x + 2, rows + 15);
        lastLabel = x;
      }
    });
    h.stripRows = rows;
  }

  function drawStripCursor() {
    if (!heat || !heat.strip) return;
    const ctx = strip.getContext("2d");
    ctx.putImageData(heat.strip, 0, 0);
    ctx.fillStyle = "rgba(255, 60, 60, 0.9)";
    ctx.fillRect(position * STRIP_COLUMN, 0, STRIP_COLUMN, heat.stripRows);
    const box = el("strip-box");
    const x = position * STRIP_COLUMN;
    if (x < box.scrollLeft || x > box.scrollLeft + box.clientWidth - 20) box.scrollLeft = x - box.clientWidth / 2;
  }

  async function load(id) {
    const ticket = ++loading;
    clearTimeout(timer);
    try {
      const index = await Houndex.json("/api/heats/" + id + "/frames");
      if (ticket !== loading) return;
      const images = index.frames.map((f) => {
        if (f.damaged) return null;
        const img = new Image();
        img.src = Houndex.url("/api/heats/" + id + "/frames/" + f.n + ".jpg");
        return img;
      });
      await Promise.all(images.filter(Boolean).map((img) => img.decode().catch(() => null)));
      if (ticket !== loading) return;
      heat = { id, index, images, positions: positions(index) };
      position = 0;
      buildStrip(heat);
      show();
      schedule();
    } catch (e) {
      if (ticket !== loading) return;
      heat = null;
      Houndex.text(el("position"), "Frames unavailable: " + e.message);
    }
    renderList();
  }

  function current() {
    return chosen != null && heats.some((h) => h.id === chosen) ? chosen : onScreen;
  }

  // The heat list names only the status; "no race" shows on the scoreboard, which has the rows.
  function listStatus(h) {
    return Houndex.status({ status: h.status, results: [{ result: "time" }] });
  }

  function renderList() {
    const nav = el("heats");
    const want = current();
    nav.replaceChildren(...heats.slice().reverse().map((h) => {
      const b = document.createElement("button");
      b.type = "button";
      b.className = h.id === want ? "chosen" : "";
      b.dataset.id = h.id;
      b.textContent = "Heat " + (h.heat_id || "?") + (h.id === onScreen ? " (on screen)" : "");
      const s = listStatus(h);
      const badge = document.createElement("span");
      badge.className = "badge " + s.key;
      badge.textContent = s.text;
      b.appendChild(badge);
      b.addEventListener("click", () => choose(h.id));
      return b;
    }));
    const h = heats.find((x) => x.id === want);
    Houndex.text(el("title"), h ? "Heat " + h.heat_id + (h.heat_name ? " · " + h.heat_name : "") : "No heat yet");
    const badge = el("badge");
    badge.hidden = !h;
    if (h) {
      const s = listStatus(h);
      badge.className = "badge " + s.key;
      Houndex.text(badge, s.text);
    }
  }

  function choose(id) {
    chosen = id;
    playing = true;
    updateButtons();
    load(id);
  }

  async function refresh() {
    try {
      const list = await Houndex.json("/api/heats");
      heats = list.heats;
      onScreen = list.on_screen;
      const want = current();
      renderList();
      const h = heats.find((x) => x.id === want);
      // A heat is loaded again when it has more frames than before.
      if (want != null && (!heat || heat.id !== want || (h && h.frames !== heat.index.frames.length))) load(want);
    } catch (e) {
      console.error("heats", e);
    }
  }

  let pending = null;
  Houndex.live(
    () => {
      clearTimeout(pending);
      pending = setTimeout(refresh, 200);
    },
    (up) => {
      const c = el("connection");
      c.classList.toggle("down", !up);
      Houndex.text(c, up ? "live" : "reconnecting…");
      if (up) refresh();
    }
  );

  el("play").addEventListener("click", () => {
    playing = !playing;
    updateButtons();
    schedule();
  });
  for (const b of document.querySelectorAll("button[data-speed]"))
    b.addEventListener("click", () => {
      speed = Number(b.dataset.speed);
      playing = true;
      updateButtons();
      schedule();
    });
  el("back").addEventListener("click", () => step(-1));
  el("forward").addEventListener("click", () => step(1));
  strip.addEventListener("click", (event) => {
    if (!heat) return;
    const x = (event.offsetX * strip.width) / strip.clientWidth;
    step(Math.floor(x / STRIP_COLUMN) - position);
  });
  document.addEventListener("keydown", (event) => {
    const speeds = { 1: 0.25, 2: 0.5, 3: 1 };
    if (event.key === " ") {
      playing = !playing;
      updateButtons();
      schedule();
    } else if (event.key === "ArrowLeft") step(-1);
    else if (event.key === "ArrowRight") step(1);
    else if (event.key === "Home") step(-1e9);
    else if (event.key === "End") step(1e9);
    else if (event.key in speeds) {
      speed = speeds[event.key];
      playing = true;
      updateButtons();
      schedule();
    } else if (event.key === "ArrowUp" || event.key === "ArrowDown") {
      const order = heats.slice().reverse().map((h) => h.id);
      const at = order.indexOf(current());
      const next = order[at + (event.key === "ArrowDown" ? 1 : -1)];
      if (next != null) choose(next);
    } else return;
    event.preventDefault();
  });
  updateButtons();
  window.houndexPlayer = () => ({ heat: heat && heat.id, position, positions: heat ? heat.positions.length : 0, speed, playing });
})();
