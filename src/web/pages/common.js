// What every page of the server shares: the access key carried from the page's
// own address into every request, JSON requests, the live socket (reconnected
// when it drops) and the box jackets.
"use strict";

const Houndex = (() => {
  const key = new URLSearchParams(location.search).get("key");

  function url(path) {
    if (!key) return path;
    return path + (path.includes("?") ? "&" : "?") + "key=" + encodeURIComponent(key);
  }

  async function json(path) {
    const response = await fetch(url(path), { cache: "no-store" });
    const body = await response.json();
    if (!response.ok) throw new Error(body.error || response.statusText);
    return body;
  }

  // Calls onMessage with each object the server pushes; onState(true/false)
  // when the socket opens or drops. Reconnects after a second.
  function live(onMessage, onState) {
    const scheme = location.protocol === "https:" ? "wss://" : "ws://";
    let socket;
    function open() {
      socket = new WebSocket(scheme + location.host + url("/ws"));
      socket.onopen = () => onState && onState(true);
      socket.onmessage = (event) => {
        try {
          onMessage(JSON.parse(event.data));
        } catch (e) {
          console.error("live message", e);
        }
      };
      socket.onclose = () => {
        onState && onState(false);
        setTimeout(open, 1000);
      };
    }
    open();
  }

  // The racing jacket of a box: its colours as the results window paints them.
  function jacket(box) {
    const el = document.createElement("span");
    el.className = "jacket box" + box;
    el.textContent = String(box);
    el.setAttribute("aria-label", "box " + box);
    return el;
  }

  // What the status of a heat shows: "no race" is a heat declared with no dog timed.
  function status(heat) {
    const timed = (heat.results || []).some((r) => r.result === "time");
    if (heat.status !== "provisional" && !timed) return { key: "norace", text: "No race" };
    if (heat.status === "official") return { key: "official", text: "Official" };
    if (heat.status === "amended") return { key: "official amended", text: "Official (amended)" };
    return { key: "provisional", text: "Provisional" };
  }

  function text(el, value) {
    el.textContent = value == null ? "" : String(value);
  }

  // Links within the server keep the key.
  document.addEventListener("DOMContentLoaded", () => {
    for (const a of document.querySelectorAll("a[data-keyed]")) a.href = url(a.getAttribute("href"));
  });

  return { url, json, live, jacket, status, text };
})();
