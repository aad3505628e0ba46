import assert from 'node:assert/strict';
import { test } from 'node:test';
import { pageOptions } from '../../js/page_options.js';

const at = (search) => pageOptions({ search });

test("the page's address may name the wearer control port and the armband's speed", () => {
  assert.deepEqual(at(''), { wearerPort: 8889, speed: 1 });
  assert.deepEqual(pageOptions({}), { wearerPort: 8889, speed: 1 });
  assert.deepEqual(at('?wearer=40123&speed=15'), { wearerPort: 40123, speed: 15 });
  assert.deepEqual(at('?speed=2.5'), { wearerPort: 8889, speed: 2.5 });
});

test('a malformed or out-of-range value leaves its default', () => {
  for (const bad of ['0', '65536', '80.5', '-1', 'abc', '1e3', '', '0x50'])
    assert.equal(at(`?wearer=${bad}`).wearerPort, 8889, `wearer=${bad}`);
  for (const bad of ['0', '0.5', '1001', 'Infinity', 'NaN', '-15', '1e2', ''])
    assert.equal(at(`?speed=${bad}`).speed, 1, `speed=${bad}`);
});
