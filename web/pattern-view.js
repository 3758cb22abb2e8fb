// The pattern view: the steps every channel plays at one position, one table row per step, with the
// playing row marked. Rebuilt when the position changes; a new row only moves the mark. Steps read as
// the library writes them, the same as in the ahx tool's pattern view.
export function createPatternView(container) {
    let rows = [];
    let marked = null;
    let shown = null;  // { player, position }

    function build(player, position) {
        const { info } = player;
        const table = document.createElement('table');
        const head = table.createTHead().insertRow();
        head.insertCell().outerHTML = '<th scope="col">Row</th>';
        const placed = info.positions > 0 ? player.position(position) : null;
        for (let c = 0; c < info.channels; c++) {
            const th = document.createElement('th');
            th.scope = 'col';
            if (placed) {
                const transpose = placed.transposes[c];
                // Two lines, so that a heading is never wider than the steps below it.
                th.textContent = `${c + 1}\ntrack ${placed.tracks[c]}${transpose ? ` ${transpose > 0 ? '+' : ''}${transpose}` : ''}`;
            } else {
                th.textContent = String(c + 1);
            }
            head.appendChild(th);
        }
        const body = table.createTBody();
        rows = [];
        for (let r = 0; placed && r < info.trackLength; r++) {
            const row = body.insertRow();
            const number = document.createElement('th');
            number.scope = 'row';
            number.textContent = String(r).padStart(2, '0');
            row.appendChild(number);
            for (let c = 0; c < info.channels; c++) {
                const step = player.step(placed.tracks[c], r);
                const cell = row.insertCell();
                cell.textContent = player.formatStep(step);
                if (step.note === 0 && step.instrument === 0 && step.command1 === 0 && step.param1 === 0 &&
                    step.command2 === 0 && step.param2 === 0) cell.className = 'empty';
            }
            rows.push(row);
        }
        container.replaceChildren(table);
        marked = null;
    }

    // Shows `position` of the player's module with `row` marked as playing.
    function show(player, position, row) {
        if (shown === null || shown.player !== player || shown.position !== position) {
            build(player, position);
            shown = { player, position };
        }
        const next = rows[row] ?? null;
        if (next === marked) return;
        if (marked) {
            marked.classList.remove('playing');
            marked.removeAttribute('aria-current');
        }
        marked = next;
        if (!marked) return;
        marked.classList.add('playing');
        marked.setAttribute('aria-current', 'step');
        // Keep the playing row in the middle of the view without scrolling the page itself.
        container.scrollTop = marked.offsetTop - container.clientHeight / 2 + marked.offsetHeight / 2;
    }

    return { show };
}
