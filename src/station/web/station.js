"use strict";
// The station as an operator sees it: a tile per programmer, the last chip's
// verdict, the job's counters and the last chips, kept live by the events.
(() => {
  const { t, api, element } = Belcor;
  const RecordsShown = 20;
  let station = null;
  let records = [];
  let lastVerdict = "";
  let refreshing = null;
  const $ = (id) => document.getElementById(id);

  function showError(text) {
    $("error").textContent = text || "";
    $("error").hidden = !text;
  }

  function percent(value) {
    return value === null || value === undefined ? "–" : value.toFixed(1) + "%";
  }

  function resultText(result) {
    // A chip cut off by a stop of the station itself is neither good nor bad.
    return result === "pass" || result === "fail" || result === "interrupted" ? t(result) : t("ready");
  }

  function renderTiles() {
    const tiles = $("tiles");
    tiles.replaceChildren();
    for (const programmer of station.programmers) {
      const tile = element("article", "tile " + (programmer.last_result || "ready") + (programmer.up ? "" : " down"));
      tile.dataset.programmer = programmer.serial;
      tile.dataset.state = programmer.state_code;
      tile.append(element("h3", "serial", programmer.serial));
      tile.append(element("div", "tile-verdict", resultText(programmer.last_result)));
      tile.append(element("div", "tile-state", programmer.up ? programmer.state : t("notConnected")));
      const bar = element("progress");
      bar.max = 1;
      bar.value = programmer.running ? programmer.progress : 0;
      tile.append(bar);
      tile.append(element("div", "tile-counts",
                          `${t("passed")} ${programmer.passed} · ${t("failed")} ${programmer.failed}`));
      const message = programmer.last_result === "fail" ? programmer.last_message : programmer.stop_reason;
      tile.append(element("div", "tile-message" + (message ? " fail-text" : ""),
                          message || (programmer.last_serial ? "#" + programmer.last_serial : "")));
      tiles.append(tile);
    }
  }

  function renderRecords() {
    const columns = t("columns").split("|");
    $("record-head").replaceChildren(...columns.map((name) => element("th", "", name)));
    $("record-rows").replaceChildren(...records.map((record) => {
      const row = element("tr", record.result);
      const cells = [record.time.replace("T", " ").replace("Z", ""), record.chip, resultText(record.result),
                     record.serial, record.crc32, record.message, record.programmer, record.operator || ""];
      cells.forEach((text) => row.append(element("td", "", text)));
      return row;
    }));
  }

  function renderLineServer(line) {
    if (!line.configured) return t("lineServerNone");
    if (!line.reachable) return t("lineServerDown") + (line.backlog ? " · " + t("lineServerWaiting", line.backlog) : "");
    return line.backlog ? t("lineServerWaiting", line.backlog) : t("lineServerStored");
  }

  function render() {
    if (!station) return;
    $("title").textContent = t("title", station.name);
    document.title = t("title", station.name);
    $("line-link").textContent = t("lineLink");
    $("line-link").hidden = !station.line_server.configured;
    const job = station.job;
    $("job-name").textContent = job ? job.name : t("noJob");
    $("passed").textContent = job ? job.counters.passed : "–";
    $("failed").textContent = job ? job.counters.failed : "–";
    $("yield").textContent = job ? percent(job.counters.yield_percent) : "–";
    const target = station.run.target !== null ? `${station.run.done} / ${station.run.target}`
                 : job && job.target !== null ? `${job.counters.total} / ${job.target}` : "–";
    $("target").textContent = target;
    $("next-serial").textContent = job && job.next_serial !== null ? job.next_serial : t("none");
    $("line-server").textContent = renderLineServer(station.line_server);
    const verdict = $("verdict");
    verdict.className = "verdict " + (lastVerdict || "ready");
    verdict.textContent = resultText(lastVerdict);
    $("start").disabled = station.running || !job;
    $("raise-target").disabled = !job;
    $("reset-counters").disabled = !job || station.running;
    $("stop").disabled = !station.running || station.stopping;
    $("run-state").textContent = station.stopping ? t("stopping") : station.running ? t("running") : "";
    if (station.operator && !$("operator").value) $("operator").value = station.operator;
    renderTiles();
    renderRecords();
  }

  async function refresh() {
    station = await api("GET", "/station");
    render();
  }

  // Several events in a row bring one refresh.
  function refreshSoon() {
    if (refreshing) return;
    refreshing = setTimeout(() => {
      refreshing = null;
      refresh().catch(() => {});
    }, 100);
  }

  async function loadRecords() {
    records = (await api("GET", "/records?limit=" + RecordsShown)).records.reverse();
    if (records.length && !lastVerdict) lastVerdict = records[0].result;
    render();
  }

  function onEvent(type, data) {
    if (type === "chip-finished") {
      // Programmers finish in any order; the list keeps the log's.
      records.unshift(data.record);
      records.sort((a, b) => b.id - a.id);
      records.length = Math.min(records.length, RecordsShown);
      lastVerdict = data.record.result;
      if (station && station.job) station.job.counters = data.counters;
      const programmer = station && station.programmers.find((p) => p.serial === data.programmer);
      if (programmer) {
        programmer.last_result = data.record.result;
        programmer.last_message = data.record.message;
        programmer.last_serial = data.record.serial;
        // As the service counts: an interrupted chip is neither good nor bad.
        if (data.record.result === "pass") programmer.passed += 1;
        else if (data.record.result === "fail") programmer.failed += 1;
      }
      if (station) station.run.done = data.run_done;
      render();
      refreshSoon();
    } else if (type === "events-lost") {
      loadRecords().catch(() => {});
      refreshSoon();
    } else {
      refreshSoon();
    }
  }

  async function command(path, body) {
    showError("");
    try {
      station = await api("POST", path, body);
      render();
    } catch (error) {
      // The token that reads may not act: the control token is asked for,
      // and the action goes on with it.
      if (error instanceof Belcor.AuthError) Belcor.askToken(() => command(path, body), true);
      else showError(error.message);
    }
  }

  // Who asks, and the engineer PIN when the job has one; false when the PIN was not given.
  function changeBody(job, body) {
    const name = $("operator").value.trim();
    if (name) body.operator = name;
    if (!job.pin_required) return true;
    const pin = window.prompt(t("pinQuestion", job.name));
    if (pin === null) return false;
    body.pin = pin;
    return true;
  }

  function raiseTarget() {
    const job = station && station.job;
    if (!job) return;
    const value = window.prompt(t("newTarget", job.name), job.target !== null ? String(job.target) : "");
    if (value === null) return;
    // Anything but a whole number is refused by the station, in words.
    const body = { target: /^\s*\d+\s*$/.test(value) ? Number(value) : value };
    if (changeBody(job, body)) command("/target", body);
  }

  function resetCounters() {
    const job = station && station.job;
    if (!job || !window.confirm(t("resetQuestion", job.name))) return;
    const body = {};
    if (changeBody(job, body)) command("/counters/reset", body);
  }

  async function begin() {
    try {
      await refresh();
      await loadRecords();
    } catch (error) {
      if (error instanceof Belcor.AuthError) {
        Belcor.askToken(begin);
        return;
      }
      $("offline").hidden = false;
      await Belcor.pause(1000);
      return begin();
    }
    $("station").hidden = false;
    Belcor.follow({
      open: () => { $("offline").hidden = true; refreshSoon(); },
      event: onEvent,
      lost: () => { $("offline").hidden = false; },
      auth: () => Belcor.askToken(begin),
    });
  }

  // Progress moves too often for events; while chips are programmed the
  // tiles' bars are read once a second.
  setInterval(() => {
    if (station && station.running && !document.hidden) refresh().catch(() => {});
  }, 1000);

  $("start").addEventListener("click", () => {
    const body = { programmers: "all" };
    const name = $("operator").value.trim();
    if (name) body.operator = name;
    command("/run", body);
  });
  $("stop").addEventListener("click", () => command("/stop"));
  $("raise-target").addEventListener("click", raiseTarget);
  $("reset-counters").addEventListener("click", resetCounters);
  // The programmers' states come in the page's language.
  Belcor.start(() => { render(); refreshSoon(); }).then(begin);
})();
