// The steps' layout: the current step is open and marked, a step that is done
// or not reached yet folds to its heading with a one-line summary (a person
// can open or fold any step with its heading), and on a narrow screen the
// current step comes first, followed by the live card and the signal while
// recording or identifying. A later step that may be taken already opens too.
import { byId } from './dom.js';

const LIVE_CARDS = ['live-panel', 'signal-panel', 'wearer-panel'];

export function createStepLayout() {
  const layout = byId('layout');
  const steps = [...document.querySelectorAll('.step-card')].map((card) => {
    const toggle = card.querySelector('.step-toggle');
    const body = byId(toggle.getAttribute('aria-controls'));
    const step = { card, toggle, body, number: Number(card.dataset.step), chosen: null };
    toggle.addEventListener('click', () => {
      step.chosen = toggle.getAttribute('aria-expanded') !== 'true';
      show(step, step.chosen);
    });
    return step;
  });
  let current = 0;

  function show(step, open) {
    step.toggle.setAttribute('aria-expanded', String(open));
    step.body.hidden = !open;
    step.card.dataset.open = String(open);
  }

  return {
    // `ready`: a later step that may be taken now as well (identification
    // with a trained model before it is uploaded) opens beside the current one.
    render(currentStep, ready = []) {
      if (currentStep !== current) {
        current = currentStep;
        for (const step of steps) step.chosen = null; // a new step: the person's folds start afresh
      }
      layout.dataset.current = String(current);
      for (const step of steps) {
        // Recording, the model and identification stay open once reached.
        const open =
          step.number === current ||
          (step.number >= 3 && step.number < current) ||
          ready.includes(step.number);
        show(step, step.chosen ?? open);
        step.card.dataset.current = String(step.number === current);
        if (step.number === current) step.toggle.setAttribute('aria-current', 'step');
        else step.toggle.removeAttribute('aria-current');
        step.card.style.setProperty('--phone-order', String(step.number === current ? 1 : 10 + step.number));
      }
      const live = current === 3 || current === 5; // recording or identifying: the live cards matter
      LIVE_CARDS.forEach((id, i) => byId(id).style.setProperty('--phone-order', String((live ? 2 : 30) + i)));
    },
  };
}
