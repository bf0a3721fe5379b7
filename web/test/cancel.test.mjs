// The worker's view of Cancel: the engine asks thousands of times a page,
// and each ask is a synchronous request, so they are spaced out in time;
// a Cancel is still seen at the first ask after it.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { CancelSignal, kEvery } from '../src/CancelSignal.js';

test('the cancel URL is asked at most once every few milliseconds, and a revoked one is heard', () => {
  let requests = 0, revoked = false, clock = 0;
  globalThis.XMLHttpRequest = class {
    open() {}
    send() {
      requests += 1;
      this.status = revoked ? 404 : 200;
    }
  };
  try {
    const cancel = new CancelSignal('blob:job', () => clock);
    for (let i = 0; i < 4000; i++) {
      assert.equal(cancel.requested(), false);
      clock += 0.5;
    }
    assert.ok(requests <= Math.ceil(2000 / kEvery) + 1, `${requests} requests in 2 s`);
    assert.ok(requests >= 2000 / kEvery - 1, `${requests} requests in 2 s: too few to hear a Cancel soon`);
    revoked = true;
    let asks = 0;
    while (!cancel.requested()) {
      clock += 1;
      asks += 1;
    }
    assert.ok(asks <= kEvery, `Cancel heard after ${asks} ms`);
    const before = requests;
    assert.equal(cancel.requested(), true);
    assert.equal(requests, before, 'asked again once cancelled');
  } finally {
    delete globalThis.XMLHttpRequest;
  }
});
