// Cancel, as the worker sees it while the engine holds its thread. A
// worker busy in WebAssembly receives no messages, and shared memory needs
// headers a plain static server does not send; so the page hands each job a
// blob URL and revokes it to cancel. A synchronous request for that URL
// succeeds until then, and the engine asks between strips.
//
// The engine asks thousands of times a page (some 4,000 on an A4 page of
// Auto Flats) and each request costs milliseconds, which once took more
// time than the flatting itself: the URL is asked at most every kEvery ms,
// far below what a person pressing Cancel notices.
export const kEvery = 40;

export class CancelSignal {
  constructor(url, now = () => performance.now()) {
    this.url = url;
    this.now = now;
    this.cancelled = false;
    this.askedAt = -Infinity;
  }

  requested() {
    if (this.cancelled || !this.url) return this.cancelled;
    const now = this.now();
    if (now - this.askedAt < kEvery) return false;
    this.askedAt = now;
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
