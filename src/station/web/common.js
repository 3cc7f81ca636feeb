"use strict";
// What both pages share: the texts in the chosen language, the tokens, calls
// to the API and the event stream (read through fetch, which, unlike
// EventSource, can send the token in a header). A watching token serves the
// reads; the control token is asked for only when an action needs it.
const Belcor = (() => {
  const stored = (key) => { try { return localStorage.getItem(key) || ""; } catch (e) { return ""; } };
  const store = (key, value) => { try { localStorage.setItem(key, value); } catch (e) { /* private mode */ } };
  let all = {};
  let texts = {};
  let language = "en";
  let token = stored("belcor.token");
  let controlToken = stored("belcor.control");
  let askingControl = false;
  let onTokenNeeded = () => {};

  class AuthError extends Error {}

  function chooseLanguage() {
    const saved = stored("belcor.language");
    if (all[saved]) return saved;
    for (const tag of navigator.languages || [navigator.language || "en"]) {
      const name = tag.toLowerCase();
      if (name.startsWith("zh")) return /hant|-tw|-hk|-mo/.test(name) ? "zh-TW" : "zh-CN";
      if (name.startsWith("en")) return "en";
    }
    return "en";
  }

  function t(key, ...values) {
    let text = texts[key] !== undefined ? texts[key] : key;
    values.forEach((value, i) => { text = text.split("%" + (i + 1)).join(String(value)); });
    return text;
  }

  function applyTexts() {
    document.documentElement.lang = language;
    for (const element of document.querySelectorAll("[data-text]")) element.textContent = t(element.dataset.text);
    const select = document.getElementById("language");
    if (select) select.value = language;
  }

  async function start(onLanguage) {
    all = await (await fetch("/texts.json")).json();
    language = chooseLanguage();
    texts = all[language];
    applyTexts();
    const select = document.getElementById("language");
    select.addEventListener("change", () => {
      language = select.value;
      store("belcor.language", language);
      texts = all[language];
      applyTexts();
      onLanguage();
    });
    const form = document.getElementById("token-form");
    form.addEventListener("submit", (event) => {
      event.preventDefault();
      const entry = document.getElementById("token");
      const given = entry.value.trim();
      entry.value = "";
      if (askingControl) {
        controlToken = given;
        store("belcor.control", controlToken);
      } else {
        token = given;
        store("belcor.token", token);
      }
      form.hidden = true;
      onTokenNeeded();
    });
  }

  function headers(extra, control) {
    const all = Object.assign({ "Accept-Language": language }, extra || {});
    const chosen = control ? controlToken || token : token || controlToken;
    if (chosen) all.Authorization = "Bearer " + chosen;
    return all;
  }

  // `control`: an action was refused, so the control token is asked for.
  function askToken(retry, control) {
    onTokenNeeded = retry;
    askingControl = Boolean(control);
    const label = document.querySelector("#token-form [data-text]");
    label.dataset.text = askingControl ? "controlTokenNeeded" : "tokenNeeded";
    label.textContent = t(label.dataset.text);
    document.getElementById("token-form").hidden = false;
    document.getElementById("token").focus();
  }

  async function api(method, path, body) {
    const extra = body === undefined ? {} : { "Content-Type": "application/json" };
    const init = { method, headers: headers(extra, method !== "GET"), cache: "no-store" };
    if (body !== undefined) init.body = JSON.stringify(body);
    const response = await fetch("/api/v1" + path, init);
    if (response.status === 401 || response.status === 403) throw new AuthError();
    const data = await response.json().catch(() => ({}));
    if (!response.ok) throw new Error(data.error || String(response.status));
    return data;
  }

  const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

  // Follows the event stream for good, coming back after a break with the
  // last id seen, so that events still in the station's ring are not missed.
  async function follow(handlers) {
    let lastId = "";
    for (;;) {
      try {
        const extra = lastId ? { "Last-Event-ID": lastId } : {};
        const response = await fetch("/api/v1/events", { headers: headers(extra), cache: "no-store" });
        if (response.status === 401 || response.status === 403) throw new AuthError();
        if (!response.ok) throw new Error(String(response.status));
        handlers.open();
        const reader = response.body.pipeThrough(new TextDecoderStream()).getReader();
        let buffer = "";
        for (;;) {
          const { value, done } = await reader.read();
          if (done) break;
          buffer += value;
          let end;
          while ((end = buffer.indexOf("\n\n")) >= 0) {
            const block = buffer.slice(0, end);
            buffer = buffer.slice(end + 2);
            let type = "message";
            let data = "";
            for (const line of block.split("\n")) {
              const colon = line.indexOf(":");
              if (colon === 0) continue;
              const field = colon < 0 ? line : line.slice(0, colon);
              let text = colon < 0 ? "" : line.slice(colon + 1);
              if (text.startsWith(" ")) text = text.slice(1);
              if (field === "event") type = text;
              else if (field === "data") data += (data ? "\n" : "") + text;
              else if (field === "id") lastId = text;
            }
            if (data) handlers.event(type, JSON.parse(data));
          }
        }
      } catch (error) {
        if (error instanceof AuthError) {
          handlers.auth();
          return;
        }
      }
      handlers.lost();
      await pause(1000);
    }
  }

  // "1:02:03" or "2:03", as the window and the command line show durations.
  function duration(seconds) {
    const s = Math.max(0, Math.floor(seconds));
    const two = (n) => String(n).padStart(2, "0");
    return s >= 3600 ? `${Math.floor(s / 3600)}:${two(Math.floor(s / 60) % 60)}:${two(s % 60)}`
                     : `${Math.floor(s / 60)}:${two(s % 60)}`;
  }

  function element(tag, className, text) {
    const node = document.createElement(tag);
    if (className) node.className = className;
    if (text !== undefined) node.textContent = text;
    return node;
  }

  return { start, t, api, follow, askToken, AuthError, pause, duration, element };
})();
