"use strict";
// Every station of the line from the line server's log, refreshed every two
// seconds: alive or silent, chips and yield of the last hour, the most
// frequent failures.
(() => {
  const { t, api, element } = Belcor;
  const RefreshMs = 2000;
  let line = null;
  const $ = (id) => document.getElementById(id);

  function render() {
    if (!line) return;
    $("no-stations").hidden = line.stations.length > 0;
    $("station-rows").replaceChildren(...line.stations.map((station) => {
      const row = element("tr", station.alive ? "alive" : "silent");
      row.append(element("td", "name", station.station));
      row.append(element("td", "liveness", station.alive ? t("alive") : t("silent")));
      row.append(element("td", "", t("ago", Belcor.duration(station.last_age_seconds))));
      row.append(element("td", "number", String(station.chips_last_hour)));
      const yieldText = station.chips_last_hour
        ? (100 * station.passed_last_hour / station.chips_last_hour).toFixed(1) + "%" : "–";
      row.append(element("td", "number", yieldText));
      const failures = element("td", "failures");
      for (const failure of station.failures) failures.append(element("div", "", `${failure.count} × ${failure.message}`));
      row.append(failures);
      return row;
    }));
  }

  async function tick() {
    try {
      line = await api("GET", "/line");
      $("error").hidden = true;
      $("offline").hidden = true;
      $("line").hidden = false;
      render();
    } catch (error) {
      if (error instanceof Belcor.AuthError) {
        Belcor.askToken(loop);
        return false;
      }
      if (error instanceof TypeError) {
        $("offline").hidden = false;
      } else {
        $("error").textContent = error.message;
        $("error").hidden = false;
      }
    }
    return true;
  }

  async function loop() {
    while (await tick()) await Belcor.pause(RefreshMs);
  }

  Belcor.start(render).then(loop);
})();
