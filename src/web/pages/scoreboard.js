// The scoreboard: the heat whose result changed last, pushed by the server,
// with the goal photo once the heat is official.
"use strict";

(() => {
  const el = (id) => document.getElementById(id);
  let shown = null; // the heat on the board
  let photoFor = ""; // file and revision of the photo shown

  function row(r) {
    const tr = document.createElement("tr");
    tr.dataset.box = r.box;
    const cells = ["rank", "box", "dog", "time", "margin"].map((name) => {
      const td = document.createElement("td");
      td.className = name;
      tr.appendChild(td);
      return td;
    });
    Houndex.text(cells[0], r.rank == null ? "–" : r.rank);
    cells[1].appendChild(Houndex.jacket(r.box));
    Houndex.text(cells[2], r.dog || "Box " + r.box);
    cells[2].title = r.dog || "";
    Houndex.text(cells[3], r.result === "time" ? r.time : r.result === "no time" ? "" : r.result.toUpperCase());
    Houndex.text(cells[4], r.margin ? r.margin : r.dead_heat ? "dead heat" : "");
    return tr;
  }

  async function showPhoto(heat) {
    const box = el("photo");
    const official = heat.status !== "provisional";
    const want = official ? heat.file + "#" + heat.revision : "";
    if (want === photoFor) return;
    photoFor = want;
    if (!official) {
      box.innerHTML = '<div class="waiting">The goal photo shows here once the result is official.</div>';
      return;
    }
    try {
      const list = await Houndex.json("/api/heats");
      const entry = list.heats.find((h) => h.file === heat.file && h.photo);
      if (!entry || photoFor !== want) return;
      const img = new Image();
      img.alt = "Goal photo of heat " + heat.heat_id;
      img.src = Houndex.url("/api/heats/" + entry.id + "/photo.png?revision=" + heat.revision);
      box.replaceChildren(img);
    } catch (e) {
      console.error("photo", e);
    }
  }

  function show(heat) {
    shown = heat;
    Houndex.text(el("event"), heat.event);
    Houndex.text(el("heat"), "Heat " + heat.heat_id + (heat.heat_name ? " · " + heat.heat_name : ""));
    const s = Houndex.status(heat);
    const badge = el("status");
    badge.className = "badge " + s.key;
    Houndex.text(badge, s.text);
    badge.hidden = false;
    el("order").replaceChildren(...(heat.results || []).map(row));
    showPhoto(heat);
  }

  Houndex.live(
    (message) => {
      if (message.heat) show(message.heat);
    },
    (up) => {
      const c = el("connection");
      c.classList.toggle("down", !up);
      Houndex.text(c, up ? "live" : "reconnecting…");
    }
  );
  window.houndexShown = () => shown;
})();
