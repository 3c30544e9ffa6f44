// The page: takes a file, deals the chosen lines to workers that read it in slices, shows
// progress, and shows the report as the command line prints it.
/* global loadModule, dealLines */
(() => {
  const $ = (id) => document.getElementById(id);
  const sliceSize = 4 << 20;
  const workerCount = Math.min(Math.max(navigator.hardwareConcurrency || 2, 1), 8);
  const workerUrl = URL.createObjectURL(new Blob(
    [$('kx-host').textContent, `\nconst moduleBase64 = '${$('kx-module').textContent.trim()}';\n`,
     $('kx-worker').textContent],
    { type: 'text/javascript' }));

  let host;
  let file = null;
  let run = null;  // the computation in progress: its workers and when it began
  let result = null;  // the last report: its lines, digests and file name

  function mib(bytes) {
    return `${(bytes / 1048576).toFixed(1)} MiB`;
  }

  function say(text) {
    $('message').textContent = text;
  }

  function setBusy(busy) {
    $('cancel').disabled = !busy;
    $('cancel').hidden = !busy;
    $('run').disabled = busy || file === null;
    $('progress-area').hidden = !busy;
  }

  function chosenLines() {
    return [...document.querySelectorAll('#lines input:checked')].map((box) => Number(box.value));
  }

  function showLines() {
    const list = $('lines');
    host.lines.forEach((line, index) => {
      const item = document.createElement('label');
      const box = document.createElement('input');
      box.type = 'checkbox';
      box.value = String(index);
      box.checked = true;
      box.dataset.label = line.label;
      item.append(box, ` ${line.label}`);
      list.append(item);
    });
  }

  function setAll(checked) {
    for (const box of document.querySelectorAll('#lines input')) box.checked = checked;
  }

  function cancel() {
    if (run === null) return;
    for (const worker of run.workers) worker.terminate();
    run = null;
    setBusy(false);
    say('Cancelled.');
  }

  function progress(done, total, started) {
    const seconds = (performance.now() - started) / 1000;
    const rate = seconds > 0 ? done / seconds : 0;
    const left = rate > 0 ? Math.ceil((total - done) / rate) : null;
    $('bar').value = total > 0 ? done / total : 1;
    const text = `${mib(done)} of ${mib(total)}, ${mib(rate)}/s` +
                 (left === null ? '' : `, ${left} s left`);
    $('progress-text').textContent = text;
    // Screen readers hear the share done at most every tenth.
    const tenth = total > 0 ? Math.floor((10 * done) / total) : 10;
    if (tenth !== run.announced) {
      run.announced = tenth;
      $('announce').textContent = `${tenth * 10} percent done`;
    }
  }

  function start() {
    if (file === null) return;
    const lines = chosenLines();
    if (lines.length === 0) {
      say('Choose at least one line.');
      return;
    }
    cancel();
    const keyText = $('key').value;
    const key = keyText === '' ? undefined : new TextEncoder().encode(keyText);
    const dealt = dealLines(host, lines, workerCount);
    const started = performance.now();
    const current = { workers: [], done: dealt.map(() => 0), digests: new Map(), announced: -1 };
    run = current;
    result = null;
    showReport();
    setBusy(true);
    say(`Computing ${lines.length} lines of ${file.name}${key ? ', keyed' : ''}…`);
    dealt.forEach((share, w) => {
      const worker = new Worker(workerUrl);
      current.workers.push(worker);
      worker.onmessage = ({ data }) => {
        if (run !== current) return;
        if (data.type === 'progress') {
          current.done[w] = data.done;
          progress(Math.min(...current.done), file.size, started);
        } else if (data.type === 'error') {
          cancel();
          say(`${file.name} could not be read: ${data.message}`);
        } else {
          share.forEach((line, i) => current.digests.set(line, data.digests[i]));
          worker.terminate();
          if (current.digests.size === lines.length) finish(lines, current, started);
        }
      };
      worker.postMessage({ file, lines: share, key, sliceSize });
    });
  }

  function finish(lines, current, started) {
    run = null;
    setBusy(false);
    const seconds = ((performance.now() - started) / 1000).toFixed(1);
    result = { lines, digests: lines.map((line) => current.digests.get(line)), name: file.name,
               keyed: $('key').value !== '' };
    showReport();
    say(`${lines.length} lines of ${file.name} (${file.size} bytes)` +
        `${result.keyed ? ', keyed,' : ''} in ${seconds} s.`);
    $('announce').textContent = 'Report ready';
  }

  function reportText() {
    return host.reportText(result.lines, result.digests);
  }

  function showReport() {
    const report = $('report');
    report.textContent = '';
    $('result-area').hidden = result === null;
    if (result === null) return;
    for (const line of reportText().split('\n').slice(0, -1)) {
      const span = document.createElement('span');
      span.className = 'line';
      span.textContent = `${line}\n`;
      report.append(span);
    }
    match();
  }

  // Marks the lines whose value is the pasted hash, in either case and without blanks.
  function match() {
    const wanted = $('match').value.replace(/\s+/g, '').toUpperCase();
    const spans = [...document.querySelectorAll('#report .line')];
    const matched = [];
    for (const span of spans) {
      const text = span.textContent.trimEnd();
      const hit = wanted !== '' && text.slice(text.lastIndexOf(': ') + 2) === wanted;
      span.classList.toggle('match', hit);
      if (hit) matched.push(text.slice(0, text.lastIndexOf(': ')));
    }
    $('match-result').textContent = wanted === '' ? ''
      : matched.length === 0 ? 'No line matches this hash.'
      : `Matches ${matched.join(', ')}.`;
  }

  async function copy() {
    const text = reportText();
    try {
      await navigator.clipboard.writeText(text);
    } catch {
      const area = document.createElement('textarea');
      area.value = text;
      document.body.append(area);
      area.select();
      document.execCommand('copy');
      area.remove();
    }
    say('Report copied.');
  }

  // The saved report, in the form `korvadex -c` checks beside the file.
  function save() {
    const text = host.reportText(result.lines, result.digests, { savedPath: result.name });
    const link = document.createElement('a');
    link.href = URL.createObjectURL(new Blob([text], { type: 'text/plain' }));
    link.download = `${result.name}.korv.txt`;
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(link.href), 60000);
    say(`Saved as ${link.download}; put it beside ${result.name} and check with korvadex -c.`);
  }

  function take(files) {
    if (files.length === 0) return;
    file = files[0];
    // The same file chosen again is computed again.
    $('file').value = '';
    $('file-name').textContent = `${file.name}, ${file.size} bytes`;
    start();
  }

  async function main() {
    host = await loadModule($('kx-module').textContent.trim());
    showLines();
    $('file').addEventListener('change', () => take($('file').files));
    const drop = $('drop');
    drop.addEventListener('dragover', (event) => {
      event.preventDefault();
      drop.classList.add('over');
    });
    drop.addEventListener('dragleave', () => drop.classList.remove('over'));
    drop.addEventListener('drop', (event) => {
      event.preventDefault();
      drop.classList.remove('over');
      take(event.dataTransfer.files);
    });
    // A file dropped beside the zone is not opened in place of the page.
    window.addEventListener('dragover', (event) => event.preventDefault());
    window.addEventListener('drop', (event) => event.preventDefault());
    $('all').addEventListener('click', () => setAll(true));
    $('none').addEventListener('click', () => setAll(false));
    $('run').addEventListener('click', start);
    $('cancel').addEventListener('click', cancel);
    $('match').addEventListener('input', match);
    $('copy').addEventListener('click', copy);
    $('save').addEventListener('click', save);
    document.body.dataset.ready = 'true';
  }

  main().catch((error) => say(`The page could not start: ${error.message}`));
})();
