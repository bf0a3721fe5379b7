// Cancel, as the worker sees it while the engine holds its thread. A
// worker busy in WebAssembly receives no messages, and shared memory needs
// headers a plain static server does not send; so the page hands each job a
// blob URL and revokes it to cancel. A synchronous request for that URL
// succeeds until then, and the engine asks between strips.
export class CancelSignal {
  constructor(url) {
    this.url = url;
    this.cancelled = false;
  }

  requested() {
    if (this.cancelled || !this.url) return this.cancelled;
    try {
      const request = new XMLHttpRequest();
      request.open('GET', this.url, false);
      request.send();
      this.cancelled = request.status !== 200;
    } catch {
      this.cancelled = true;
    }
    return this.cancelled;
  }
}
